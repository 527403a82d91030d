#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The build picks native_char_posix.h or native_char_win32.h.
#include "native_char.h"

using NativeString = std::basic_string<NativeChar>;
using NativeView = std::basic_string_view<NativeChar>;

// Appends ASCII text (the fixed words of the list) to native text.
inline void AppendAscii(NativeString& out, std::string_view ascii) {
    for (char c : ascii) {
        out.push_back(static_cast<NativeChar>(c));
    }
}

inline NativeString NativeFromAscii(std::string_view ascii) {
    NativeString out;
    AppendAscii(out, ascii);
    return out;
}

// Appends text in the list's narrow encoding, the ANSI code page on Windows
// and the bytes themselves on POSIX. Sets *replaced when a character had no
// form in it and the code page's replacement character stands in for it.
void AppendNarrow(NativeView text, std::string& out, bool* replaced);

// The same for the text the pieces make together, converted as one text.
void AppendNarrowPieces(const NativeView* pieces, std::size_t count, std::string& out,
                        bool* replaced);

// UTF-8 for showing a path to a person (reports, the driver's output).
std::string DisplayText(NativeView text);
