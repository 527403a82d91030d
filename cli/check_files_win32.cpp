#include <windows.h>

#include "check_files.h"
#include "error.h"
#include "unique_handle.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

void ReadListFile(NativeView path, const std::function<void(std::string_view)>& piece) {
    const std::wstring name(path);
    FileHandle file(CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) {
        throw LastError().At(path);
    }
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        throw Error(ERROR_INVALID_FUNCTION, "Not a regular file").At(path);
    }
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
            throw LastError().At(path);
        }
        if (got == 0) {
            return;
        }
        piece(std::string_view(buffer, got));
    }
}

bool IsFolder(NativeView path) {
    const DWORD attributes = GetFileAttributesW(std::wstring(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The builder's own way: the list's bytes as an ANSI path.
std::string HostFileProblem(const std::string& listBytes) {
    if (listBytes.find('\0') != std::string::npos) {
        return "the path holds a NUL byte";
    }
    const DWORD attributes = GetFileAttributesA(listBytes.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return LastError().Description();
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "Not a regular file";
    }
    FileHandle file(CreateFileA(listBytes.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return LastError().Description();
    }
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return "Not a regular file";
    }
    return {};
}
