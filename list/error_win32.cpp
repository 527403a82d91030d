#include "error.h"

#include <windows.h>

#include "utf8_win32.h"

namespace {

LANGID preferredLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

DWORD Describe(long number, LANGID language, wchar_t** buffer) {
    return FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(number), language, reinterpret_cast<wchar_t*>(buffer), 0,
        nullptr);
}

}  // namespace

void PreferEnglishDescriptions() {
    preferredLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

void PreferChineseDescriptions() {
    preferredLanguage = MAKELANGID(LANG_CHINESE_SIMPLIFIED, SUBLANG_CHINESE_SIMPLIFIED);
}

Error ErrorFromNumber(long number) {
    wchar_t* buffer = nullptr;
    // A system without English texts describes in its own language.
    DWORD length = Describe(number, preferredLanguage, &buffer);
    if (length == 0) {
        length = Describe(number, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), &buffer);
    }
    std::wstring text;
    if (length != 0 && buffer != nullptr) {
        text.assign(buffer, length);
    }
    LocalFree(buffer);
    // System messages end with CR LF; a report shows them on one line.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = L"Unknown error";
    }
    return Error(number, WideToUtf8(text));
}

Error LastError() {
    return ErrorFromNumber(static_cast<long>(GetLastError()));
}

Error InvalidArgumentError() {
    return ErrorFromNumber(ERROR_INVALID_PARAMETER);
}

Error MissingFolderError() {
    return ErrorFromNumber(ERROR_PATH_NOT_FOUND);
}

Error OutOfMemoryError() {
    return ErrorFromNumber(ERROR_NOT_ENOUGH_MEMORY);
}

Error NoThreadError() {
    return ErrorFromNumber(ERROR_MAX_THRDS_REACHED);
}

Error CancelledError() {
    return ErrorFromNumber(ERROR_CANCELLED);
}

Error BusyError() {
    return ErrorFromNumber(ERROR_BUSY);
}

Error UnlistablePathError() {
    return ErrorFromNumber(ERROR_INVALID_NAME);
}
