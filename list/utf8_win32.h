#pragma once

#include <string>
#include <string_view>

// UTF-16 <-> UTF-8 for texts shown to people (error descriptions, reports).
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// Appends text in the given code page, never a look-alike for a character
// the code page lacks but its default character. False when one stood in.
bool AppendInCodePage(std::wstring_view text, unsigned codePage, std::string& out);
