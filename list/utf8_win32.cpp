#include "utf8_win32.h"

#include <windows.h>

#include "error.h"

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

namespace {

// One call per line, into room no code page can overflow: four bytes for
// each UTF-16 unit.
int Convert(UINT codePage, DWORD flags, std::wstring_view text, std::string& out,
            BOOL* usedDefault) {
    const std::size_t start = out.size();
    out.resize(start + text.size() * 4);
    const int size = WideCharToMultiByte(codePage, flags, text.data(),
                                         static_cast<int>(text.size()), out.data() + start,
                                         static_cast<int>(text.size() * 4), nullptr, usedDefault);
    out.resize(start + static_cast<std::size_t>(size > 0 ? size : 0));
    return size;
}

}  // namespace

bool AppendInCodePage(std::wstring_view text, unsigned codePage, std::string& out) {
    if (text.empty()) {
        return true;
    }
    if (codePage == CP_UTF8 || codePage == CP_UTF7) {
        // These refuse the best-fit and default flags; in them only a lone
        // surrogate has no form, and it turns the strict conversion down.
        if (Convert(codePage, WC_ERR_INVALID_CHARS, text, out, nullptr) > 0) {
            return true;
        }
        if (Convert(codePage, 0, text, out, nullptr) > 0) {
            return false;
        }
        throw LastError();
    }
    // Without WC_NO_BEST_FIT_CHARS a character with a look-alike in the code
    // page (² as 2, ¥ as the full-width yen, U+2216 as "\") would be written
    // as that other character, silently naming another file.
    BOOL usedDefault = FALSE;
    if (Convert(codePage, WC_NO_BEST_FIT_CHARS, text, out, &usedDefault) <= 0) {
        throw LastError();
    }
    return usedDefault == FALSE;
}
