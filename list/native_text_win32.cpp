#include "native_text.h"

#include <windows.h>

#include "error.h"
#include "utf8_win32.h"

namespace {

bool HasLoneSurrogate(NativeView text) {
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            return true;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

}  // namespace

void AppendNarrow(NativeView text, std::string& out, bool* replaced) {
    *replaced = false;
    if (text.empty()) {
        return;
    }
    const UINT codePage = GetACP();
    // UTF-8 and UTF-7 code pages refuse the used-default flag; in them only a
    // lone surrogate has no form.
    const bool unicodePage = codePage == CP_UTF8 || codePage == CP_UTF7;
    const int inSize = static_cast<int>(text.size());
    int size = WideCharToMultiByte(codePage, 0, text.data(), inSize, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        throw LastError();
    }
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(size));
    BOOL usedDefault = FALSE;
    size = WideCharToMultiByte(codePage, 0, text.data(), inSize, out.data() + start, size, nullptr,
                               unicodePage ? nullptr : &usedDefault);
    if (size <= 0) {
        out.resize(start);
        throw LastError();
    }
    out.resize(start + static_cast<size_t>(size));
    *replaced = unicodePage ? HasLoneSurrogate(text) : usedDefault != FALSE;
}

void AppendNarrowPieces(const NativeView* pieces, std::size_t count, std::string& out,
                        bool* replaced) {
    // One conversion for the whole text: a surrogate pair split across two
    // pieces must still convert as the one character it is.
    thread_local NativeString joined;
    joined.clear();
    for (std::size_t i = 0; i < count; ++i) {
        joined.append(pieces[i]);
    }
    AppendNarrow(joined, out, replaced);
}

std::string DisplayText(NativeView text) {
    return WideToUtf8(text);
}
