#pragma once

#include <string>
#include <string_view>

#include "native_char.h"

using NativeString = std::basic_string<NativeChar>;
using NativeView = std::basic_string_view<NativeChar>;

// Appends text in the list's narrow encoding: the ANSI code page on Windows,
// the bytes themselves on POSIX. Returns false when a character has no exact
// form in it and the code page's default character stands in for it.
bool AppendNarrow(NativeView text, std::string& out);

// UTF-8 for showing a path to a person (reports, the driver's output).
std::string DisplayText(NativeView text);
