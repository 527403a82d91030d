#pragma once

#include <string_view>

#include "native_text.h"

// The two fixed lines that open every list, as they stand on disk: the image
// the builder makes and its size limit (1 GiB).
inline constexpr std::string_view kHeaderBytes = "rofsname=CG33.smg\r\nrofssize=0x40000000\r\n";

// Sets line to "file=" + path + four spaces + image path + CR LF, where the
// image path is the last (length of path - length of rootPath) characters of
// path: the cut is by length alone. A path shorter than rootPath throws the
// invalid argument error. line's room is reused from file to file.
void BuildFileLine(NativeView path, NativeView rootPath, NativeString& line);

bool HasLineBreak(NativeView text);
