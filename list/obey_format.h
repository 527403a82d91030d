#pragma once

#include <array>
#include <string>
#include <string_view>

#include "native_text.h"

// The two fixed lines that open every list: the image the builder makes and
// its size limit (1 GiB).
inline constexpr std::string_view kImageNameLine = "rofsname=CG33.smg";
inline constexpr std::string_view kImageSizeLine = "rofssize=0x40000000";

// The list's header exactly as it stands on disk.
std::string HeaderBytes();

// "file=" + path + four spaces + image path, where the image path is the last
// (length of path - length of rootPath) characters of path. The cut is by
// length alone; a path shorter than rootPath throws the invalid argument error.
// The pieces view path and constants, so that the line can be assembled
// straight where it is to go.
using FileLinePieces = std::array<NativeView, 4>;
FileLinePieces FileLine(NativeView path, NativeView rootPath);

// Leading and trailing U+0020 removed; other white space stays.
NativeView TrimSpaces(NativeView text);

bool HasLineBreak(NativeView text);
