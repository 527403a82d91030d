#include <windows.h>

#include "error.h"
#include "pattern_file.h"
#include "unique_handle.h"

std::optional<std::string> ReadPatternFile(NativeView path) {
    const std::wstring name(path);
    // Opened so that nobody is kept from the file meanwhile, through a link
    // too; a folder fails to open without FILE_FLAG_BACKUP_SEMANTICS.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw ErrorFromNumber(ERROR_DIRECTORY).At(path);
    }
    FileHandle file(CreateFileW(name.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) &&
            attributes == INVALID_FILE_ATTRIBUTES) {
            return std::nullopt;
        }
        throw ErrorFromNumber(static_cast<long>(error)).At(path);
    }
    // A pipe or device would wait or never end.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        throw InvalidArgumentError().At(path);
    }
    std::string bytes(kMostPatternFileBytes + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        DWORD more = 0;
        if (!ReadFile(file.Get(), bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &more,
                      nullptr)) {
            throw LastError().At(path);
        }
        if (more == 0) {
            break;
        }
        got += more;
    }
    if (got > kMostPatternFileBytes) {
        throw ErrorFromNumber(ERROR_FILE_TOO_LARGE).At(path);
    }
    bytes.resize(got);
    return bytes;
}

NativeString PatternFileText(std::string_view bytes) {
    UINT codePage = CP_UTF8;
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        flags = 0;
    }
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    int units = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (units == 0) {
        // Not UTF-8: the code page the system's editors save in.
        codePage = CP_ACP;
        flags = 0;
        units = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    }
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), size, text.data(), units);
    return text;
}
