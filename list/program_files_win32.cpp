#include <windows.h>

#include <algorithm>
#include <cstring>

#include "error.h"
#include "exclusions.h"
#include "program_files.h"
#include "win32_path.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// What the lock holds, so that one a stopped system could not delete is known
// as the program's own.
constexpr char kLockContent[] = "ObeyGen lock\r\n";

NativeView NameOf(NativeView path) {
    return path.substr(path.find_last_of(kSeparators) + 1);
}

// Whether handle was opened through a link to another file. Wine shows a
// host's link to a file as the file itself, even to FILE_FLAG_OPEN_REPARSE_POINT,
// but names the file it opened by its own name.
bool OpenedElsewhere(HANDLE handle, NativeView path) {
    std::wstring final(MAX_PATH, L'\0');
    DWORD size = GetFinalPathNameByHandleW(handle, final.data(), MAX_PATH, FILE_NAME_OPENED);
    if (size >= MAX_PATH) {
        final.resize(size);
        size = GetFinalPathNameByHandleW(handle, final.data(), size, FILE_NAME_OPENED);
    }
    if (size == 0 || size >= final.size()) {
        return false;  // a file system that cannot say: its links are reparse points
    }
    final.resize(size);
    const NativeView opened = NameOf(final);
    const NativeView named = NameOf(path);
    return opened.size() != named.size() ||
           !std::equal(opened.begin(), opened.end(), named.begin(), SameNameCharacter);
}

enum class LockPlace { kEmpty, kBusy, kLeftLock, kOther };

// What stands where the lock is to be made, opened as itself and never
// through a link.
LockPlace InspectLockPlace(const std::wstring& lock, NativeView path) {
    FileHandle handle(CreateFileW(lock.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!handle.Valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION ? LockPlace::kBusy
               : error == ERROR_FILE_NOT_FOUND  ? LockPlace::kEmpty
                                                : LockPlace::kOther;
    }
    BY_HANDLE_FILE_INFORMATION info;
    char content[sizeof kLockContent] = {};
    DWORD got = 0;
    const bool left =
        GetFileType(handle.Get()) == FILE_TYPE_DISK &&
        GetFileInformationByHandle(handle.Get(), &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0 && info.nNumberOfLinks == 1 &&
        !OpenedElsewhere(handle.Get(), path) &&
        ReadFile(handle.Get(), content, sizeof content, &got, nullptr) &&
        got == sizeof kLockContent - 1 && std::memcmp(content, kLockContent, got) == 0;
    return left ? LockPlace::kLeftLock : LockPlace::kOther;
}

}  // namespace

// A file of its own beside the list, made new, opened by nobody else and
// deleted by the system with the last handle, also when the process dies.
// Made new, it is never anything that stood there before.
ListLock::ListLock(NativeView list) : path_(NativeString(list) + kLockSuffix) {
    const std::wstring lock = ExtendedPath(path_);
    for (bool tookOver = false;;) {
        handle_.Reset(CreateFileW(
            lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
            nullptr));
        if (handle_.Valid()) {
            break;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND) {
            throw MissingFolderError().At(FolderOf(list));
        }
        const LockPlace place = InspectLockPlace(lock, path_);
        if (place == LockPlace::kBusy) {
            throw BusyError().At(list);
        }
        if (place == LockPlace::kEmpty) {
            // Nothing in the way: the folder refuses a new file.
            throw ErrorFromNumber(static_cast<long>(error)).At(FolderOf(list));
        }
        if (place != LockPlace::kLeftLock || tookOver) {
            // A file, link or folder of somebody else's: the start fails,
            // naming it, rather than take its place.
            throw ErrorFromNumber(ERROR_FILE_EXISTS).At(path_);
        }
        // Deleting fails while another program holds it as its lock.
        if (!DeleteFileW(lock.c_str())) {
            throw(GetLastError() == ERROR_SHARING_VIOLATION ? BusyError() : LastError()).At(list);
        }
        tookOver = true;
    }
    DWORD done = 0;
    if (!WriteFile(handle_.Get(), kLockContent, sizeof kLockContent - 1, &done, nullptr)) {
        throw LastError().At(path_);
    }
}

// The system deletes the file with the handle.
ListLock::~ListLock() = default;

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
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        OpenedElsewhere(handle.Get(), path)) {
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

// The data reaches the disk before the rename, and the rename before the
// call returns (write-through), as NTFS otherwise may reorder them.
void ReplacementFile::Commit() {
    if (!FlushFileBuffers(handle_.Get())) {
        throw LastError().At(target_);
    }
    if (!CloseHandle(handle_.Release())) {
        throw LastError().At(target_);
    }
    if (!MoveFileExW(ExtendedPath(temporary_).c_str(), ExtendedPath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw LastError().At(target_);
    }
    temporary_.clear();
}

void StandardOutput::Write(const char* data, std::size_t size) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    while (size != 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(out, data, chunk, &done, nullptr)) {
            throw LastError().At(L"standard output");
        }
        if (done == 0) {
            throw ErrorFromNumber(ERROR_WRITE_FAULT).At(L"standard output");
        }
        data += done;
        size -= done;
    }
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

namespace {

// The system's full path of a place its own rule finds: a drive's current
// folder ("X:"), the current drive's root ("\\").
std::wstring SystemFullPath(const std::wstring& text) {
    DWORD size = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    if (size != 0) {
        size = GetFullPathNameW(text.c_str(), size, full.data(), nullptr);
    }
    if (size == 0 || size >= full.size()) {
        throw LastError().At(text);
    }
    full.resize(size);
    return full;
}

std::wstring CurrentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring here(size, L'\0');
    if (size != 0) {
        size = GetCurrentDirectoryW(size, here.data());
    }
    if (size == 0 || size >= here.size()) {
        throw LastError();
    }
    here.resize(size);
    return here;
}

}  // namespace

// Built here rather than by GetFullPathNameW, which drops a name's trailing
// dots and spaces and so names another folder than the one meant. "." and
// ".." steps and doubled separators go, as Windows takes them.
NativeString FullPath(NativeView path) {
    std::wstring text(path);
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (text.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        text.replace(0, 8, L"\\\\");
    } else if (text.rfind(L"\\\\?\\", 0) == 0) {
        text.erase(0, 4);
    }
    const bool unc = text.rfind(L"\\\\", 0) == 0;
    const bool drive = text.size() >= 2 && text[1] == L':';
    if (drive && (text.size() == 2 || text[2] != L'\\')) {
        text = SystemFullPath(text.substr(0, 2)) + L"\\" + text.substr(2);
    } else if (!unc && !drive && text.rfind(L"\\", 0) == 0) {
        text = SystemFullPath(L"\\") + text;
    } else if (!unc && !drive) {
        text = CurrentDirectory() + L"\\" + text;
    }
    // The root: "X:", or "\\server\share".
    std::size_t rootEnd = 2;
    if (text.rfind(L"\\\\", 0) == 0) {
        rootEnd = std::min(text.find(L'\\', std::min(text.find(L'\\', 2), text.size() - 1) + 1),
                           text.size());
    }
    std::wstring full = text.substr(0, rootEnd);
    const std::size_t rootLength = full.size();
    for (std::size_t at = rootEnd; at < text.size();) {
        const std::size_t end = std::min(text.find(L'\\', at), text.size());
        const std::wstring_view step(text.data() + at, end - at);
        if (step == L"..") {
            full.resize(std::max(rootLength, std::min(full.rfind(L'\\'), full.size())));
        } else if (!step.empty() && step != L".") {
            full.push_back(L'\\');
            full.append(step);
        }
        at = end + 1;
    }
    if (full.size() == rootLength && full.rfind(L"\\\\", 0) != 0) {
        full.push_back(L'\\');  // a drive's root: "C:\"
    }
    return full;
}

NativeString FolderOf(NativeView fullPath) {
    const std::size_t at = fullPath.find_last_of(kSeparators);
    NativeString folder(fullPath.substr(0, at == NativeView::npos ? 0 : at));
    if (folder.size() == 2 && folder[1] == L':') {
        folder.push_back(L'\\');
    }
    return folder;
}

FolderId FolderIdentity(NativeView path) {
    const FileHandle folder(CreateFileW(ExtendedPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder.Valid() || !GetFileInformationByHandle(folder.Get(), &info)) {
        throw LastError().At(path);
    }
    return FolderId{info.dwVolumeSerialNumber,
                    (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}
