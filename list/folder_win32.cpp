#include <windows.h>

#include <string_view>

#include "folder.h"
#include "win32_path.h"

namespace {

// Room for the entries of a few hundred names per call.
constexpr DWORD kReadBufferSize = 64 * 1024;

// What path leads to, folder or file, opened to read its attributes only.
FileHandle OpenToInspect(const std::wstring& path) {
    return FileHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Opened once for its identity and its listing both: on a share each
// opening is a round trip.
FileHandle OpenFolderHandle(const std::wstring& path) {
    FileHandle folder(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.Valid()) {
        throw LastError();
    }
    return folder;
}

// A link that is not a folder link is what it leads to. What Wine shows of a
// host's FIFOs, sockets and devices looks like an empty file in the listing,
// but has no attributes of its own. Either way, nothing but a regular file
// is listed.
bool IsRegularFile(const FILE_ID_BOTH_DIR_INFO& entry, const std::wstring& path) {
    if ((entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        const FileHandle target = OpenToInspect(path);
        BY_HANDLE_FILE_INFORMATION info;
        return target.Valid() && GetFileType(target.Get()) == FILE_TYPE_DISK &&
               GetFileInformationByHandle(target.Get(), &info) &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    // Only entries without size are looked at closer: one call per folder
    // stays the rule on the common tree.
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    return entry.EndOfFile.QuadPart != 0 ||
           GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes);
}

void AddEntry(FolderListing& listing, const FILE_ID_BOTH_DIR_INFO& entry,
              const std::wstring& folder) {
    const std::wstring_view name(entry.FileName, entry.FileNameLength / sizeof(wchar_t));
    if (name == L"." || name == L"..") {
        return;
    }
    NameList* list = &listing.files;
    if ((entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        list = &listing.folders;
    } else if (!IsRegularFile(entry, folder + L"\\" + std::wstring(name))) {
        list = &listing.others;
    }
    list->Add(name.data(), name.size());
}

// In the listing's own order, from the handle the folder was opened as.
// Folder links and junctions are subfolders, as the listing reports them.
void ReadEntries(HANDLE handle, FolderListing& listing, const std::wstring& folder, char* buffer) {
    FILE_INFO_BY_HANDLE_CLASS next = FileIdBothDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(handle, next, buffer, kReadBufferSize)) {
        next = FileIdBothDirectoryInfo;
        for (std::size_t at = 0;;) {
            const auto& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
            AddEntry(listing, entry, folder);
            if (entry.NextEntryOffset == 0) {
                break;
            }
            at += entry.NextEntryOffset;
        }
    }
    const DWORD error = GetLastError();
    // A drive's root holds no "." entry when it is empty.
    if (error != ERROR_NO_MORE_FILES && error != ERROR_FILE_NOT_FOUND) {
        listing.error = ErrorFromNumber(static_cast<long>(error));
    }
}

}  // namespace

NativeHandle NativeHandleTraits::None() {
    return INVALID_HANDLE_VALUE;
}
bool NativeHandleTraits::Valid(NativeHandle handle) {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
}
void NativeHandleTraits::Close(NativeHandle handle) {
    CloseHandle(handle);
}

FolderReader::FolderReader() : buffer_(new char[kReadBufferSize]) {}

// Folders are opened by their full paths here: none is opened again.
FileHandle FolderReader::Reopen(NativeHandle /*from*/, NativeView path, const FolderId& expected) {
    FileHandle folder = OpenFolderHandle(ExtendedPath(path));
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder.Get(), &info)) {
        throw LastError();
    }
    const std::uint64_t index =
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    if (FolderId{info.dwVolumeSerialNumber, index} != expected) {
        throw StaleError();
    }
    return folder;
}

Error FolderReader::StaleError() {
    return ErrorFromNumber(ERROR_FILE_INVALID);
}

Error FolderReader::NoHandleLeftError() {
    return ErrorFromNumber(ERROR_TOO_MANY_OPEN_FILES);
}

// A process's handles are bounded by memory alone.
std::size_t FolderReader::HandlesLeft(std::size_t mostUseful) {
    return mostUseful;
}

bool FolderReader::ShortOfHandles(const Error& error) {
    return error.Number() == ERROR_TOO_MANY_OPEN_FILES;
}

bool FolderReader::OpensByPath() {
    return true;
}

// A missing source folder is a path not found, whichever step of it is
// missing, and so is a file in its place.
void FolderReader::Open(NativeView path, FolderListing& listing) {
    const std::wstring folder = ExtendedPath(path);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            throw ErrorFromNumber(static_cast<long>(error)).At(path);
        }
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        throw MissingFolderError().At(path);
    }
    try {
        Read(OpenFolderHandle(folder).Release(), folder, listing);
    } catch (Error& error) {
        throw error.At(path);
    }
}

// Every folder is opened by the path its listing gave, never normalised.
void FolderReader::OpenSubFolder(const FolderListing& /*parent*/, std::size_t /*index*/,
                                 NativeView path, FolderListing& listing) {
    const std::wstring folder = ExtendedPath(path);
    Read(OpenFolderHandle(folder).Release(), folder, listing);
}

void FolderReader::Read(NativeHandle handle, NativeView path, FolderListing& listing) {
    FileHandle folder(handle);
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder.Get(), &info)) {
        throw LastError();
    }
    listing.id.volume = info.dwVolumeSerialNumber;
    listing.id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    ReadEntries(folder.Get(), listing, std::wstring(path), buffer_.get());
}
