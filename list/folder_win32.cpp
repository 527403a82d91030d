#include <windows.h>

#include "folder.h"
#include "win32_path.h"

namespace {

struct FindHandleTraits {
    using Type = HANDLE;
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};

// What path leads to, folder or file, opened to read its attributes only.
FileHandle OpenToInspect(const std::wstring& path) {
    return FileHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

FileHandle OpenFolderHandle(const std::wstring& path) {
    FileHandle folder = OpenToInspect(path);
    if (!folder.Valid()) {
        throw LastError();
    }
    return folder;
}

// A link that is not a folder link is what it leads to. What Wine shows of a
// host's FIFOs, sockets and devices looks like an empty file in the listing,
// but has no attributes of its own. Either way, nothing but a regular file
// is listed.
bool IsRegularFile(const WIN32_FIND_DATAW& data, const std::wstring& path) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        const FileHandle target = OpenToInspect(path);
        BY_HANDLE_FILE_INFORMATION info;
        return target.Valid() && GetFileType(target.Get()) == FILE_TYPE_DISK &&
               GetFileInformationByHandle(target.Get(), &info) &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    // Only entries without size are looked at closer: one call per folder
    // stays the rule on the common tree.
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    return data.nFileSizeLow != 0 || data.nFileSizeHigh != 0 ||
           GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes);
}

// In the listing's own order. Folder links and junctions are subfolders, as
// the listing reports them.
void ReadEntries(FolderListing& listing, const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    UniqueHandle<FindHandleTraits> find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic,
                                                         &data, FindExSearchNameMatch, nullptr,
                                                         FIND_FIRST_EX_LARGE_FETCH));
    if (!find.Valid()) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
            // A drive's root holds no "." entry when it is empty.
            listing.error = ErrorFromNumber(static_cast<long>(error));
        }
        return;
    }
    do {
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) {
            continue;
        }
        const DWORD attributes = data.dwFileAttributes;
        NameList* list = &listing.files;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            list = &listing.folders;
        } else if (!IsRegularFile(data, folder + L"\\" + name)) {
            list = &listing.others;
        }
        list->Add(name, wcslen(name));
    } while (FindNextFileW(find.Get(), &data));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
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

FolderReader::FolderReader() = default;

// Folders are opened by their full paths here: from is never given.
FileHandle FolderReader::OpenAt(NativeHandle /*from*/, NativeView name) {
    return OpenFolderHandle(ExtendedPath(name));
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
    ReadEntries(listing, std::wstring(path));
}
