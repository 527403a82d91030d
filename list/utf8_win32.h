#pragma once

#include <string>
#include <string_view>

// UTF-16 <-> UTF-8 for texts shown to people (error descriptions, reports).
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
