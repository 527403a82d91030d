#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "native_text.h"

// A file of patterns to leave out, one a line in --exclude's syntax: the
// ROFS.exclude beside a list, or a file named on the command line. Blank
// lines and lines whose first character is "#" are passed over; a line ends
// at LF, CR LF or the file's end; a UTF-8 byte order mark is dropped.

// The name of the pattern file that both programs read beside the list.
inline constexpr std::string_view kExcludeFileName = "ROFS.exclude";

// Larger than any list of patterns a person writes: a file past it is taken
// for something else and refused, rather than slowing every name's match.
inline constexpr std::size_t kMostPatternFileBytes = 1024 * 1024;

struct FilePattern {
    NativeString pattern;
    std::size_t line;  // from 1
};

// The bytes of the file at path, following a link; nullopt when nothing is
// there (a dangling link is an error, not nothing). Throws Error naming path
// when it cannot be read, is larger than kMostPatternFileBytes, or is no
// regular file: a folder, a device, or a FIFO, which is never waited on.
std::optional<std::string> ReadPatternFile(NativeView path);

// The patterns of a file's bytes: on POSIX the bytes themselves, as names
// are; on Windows UTF-8 when the bytes are (or begin with the byte order
// mark), else the ANSI code page, as Notepad saves either.
std::vector<FilePattern> ParsePatternFile(std::string_view bytes);

// The file's text in the platform's characters, the byte order mark gone.
NativeString PatternFileText(std::string_view bytes);

// The path of kExcludeFileName in the folder the list at listPath is in.
NativeString ExcludeFileBeside(NativeView listPath);
