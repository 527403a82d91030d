#include <windows.h>

#include "error.h"
#include "program_files.h"
#include "win32_path.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

// A file of its own beside the list, opened by nobody else and removed by the
// system with the last handle, also when the process dies.
ListLock::ListLock(NativeView list)
    : handle_(CreateFileW(ExtendedPath(NativeString(list) + kLockSuffix).c_str(),
                          GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr)) {
    if (!handle_.Valid()) {
        throw LastError().At(NativeString(list) + kLockSuffix);
    }
}

std::optional<ExistingFile> ExistingFile::Open(NativeView path) {
    // The entry itself, not what a link leads to.
    FileHandle handle(
        CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle.Valid()) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            throw ErrorFromNumber(static_cast<long>(error)).At(path);
        }
        // Wine opens no dangling link, but its listing of the exact name
        // tells one from nothing.
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileW(ExtendedPath(path).c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
        } else if (GetLastError() == ERROR_NO_MORE_FILES) {
            throw ErrorFromNumber(ERROR_ACCESS_DENIED).At(path);
        }
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle.Get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle.Get(), &info)) {
        throw ErrorFromNumber(ERROR_INVALID_FUNCTION).At(path);
    }
    const DWORD attributes = info.dwFileAttributes;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        throw ErrorFromNumber(ERROR_ACCESS_DENIED).At(path);
    }
    // A read-only, hidden or system file cannot be replaced: saying so before
    // anything is written keeps a start bound to fail from changing anything.
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) !=
        0) {
        throw ErrorFromNumber(ERROR_ACCESS_DENIED).At(path);
    }
    return ExistingFile(std::move(handle), path);
}

std::size_t ExistingFile::Read(char* data, std::size_t size) {
    DWORD got = 0;
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (!ReadFile(handle_.Get(), data, chunk, &got, nullptr)) {
        throw LastError().At(path_);
    }
    return got;
}

ReplacementFile::ReplacementFile(NativeString target)
    : target_(std::move(target)), temporary_(target_ + kTemporarySuffix) {
    RemoveLeftover(temporary_);
    handle_.Reset(CreateFileW(ExtendedPath(temporary_).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_.Valid()) {
        throw LastError().At(temporary_);
    }
}

ReplacementFile::~ReplacementFile() {
    if (!temporary_.empty()) {
        handle_.Reset();
        DeleteFileW(ExtendedPath(temporary_).c_str());
    }
}

void ReplacementFile::Write(const char* data, std::size_t size) {
    while (size != 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(handle_.Get(), data, chunk, &done, nullptr)) {
            throw LastError().At(target_);
        }
        if (done == 0) {
            throw ErrorFromNumber(ERROR_WRITE_FAULT).At(target_);
        }
        data += done;
        size -= done;
    }
}

void ReplacementFile::Commit() {
    if (!CloseHandle(handle_.Release())) {
        throw LastError().At(target_);
    }
    if (!MoveFileExW(ExtendedPath(temporary_).c_str(), ExtendedPath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
        throw LastError().At(target_);
    }
    temporary_.clear();
}

void RemoveLeftover(NativeView path) {
    const std::wstring target = ExtendedPath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    if (!DeleteFileW(target.c_str())) {
        throw LastError().At(path);
    }
}

NativeString FullPath(NativeView path) {
    const std::wstring text(path);
    DWORD size = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    if (size != 0) {
        size = GetFullPathNameW(text.c_str(), size, full.data(), nullptr);
    }
    if (size == 0) {
        throw LastError().At(path);
    }
    full.resize(size);
    // A listing names a folder without a trailing separator, but for a
    // drive's root ("C:\").
    while (full.size() > 3 && full.back() == L'\\') {
        full.pop_back();
    }
    return full;
}
