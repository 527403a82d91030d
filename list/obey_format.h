#pragma once

#include <string>
#include <string_view>

#include "native_text.h"

// The image the builder makes and its size limit (1 GiB), unless a command
// line names others.
inline constexpr std::string_view kImageName = "CG33.smg";
inline constexpr std::string_view kImageSize = "0x40000000";

// The two lines that open every list, as they stand on disk.
std::string HeaderBytes(std::string_view imageName = kImageName,
                        std::string_view imageSize = kImageSize);

// Sets line to "file=" + path + four spaces + image path + CR LF, where the
// image path is the last (length of path - length of rootPath) characters of
// path: the cut is by length alone. The builder cuts words at spaces, tabs
// and "=", so either path holding one is written between double quotes, each
// on its own; a path that needs none is written bare. rootNeedsQuotes tells
// NeedsQuotes(rootPath), found once for all of a click's lines. A path
// shorter than rootPath throws the invalid argument error. line's room is
// reused from file to file.
void BuildFileLine(NativeView path, NativeView rootPath, bool rootNeedsQuotes, NativeString& line);

// Whether text holds a space, a tab or "=".
bool NeedsQuotes(NativeView text);

bool HasLineBreak(NativeView text);

// A double quote has no escape in the builder's words: a name holding one
// cannot be written in any form it reads.
bool HasQuote(NativeView text);
