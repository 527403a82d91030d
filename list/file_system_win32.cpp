#include "file_system.h"

#include <windows.h>

#include <vector>

#include "error.h"
#include "read_folder.h"

namespace {

// Paths past MAX_PATH reach the Win32 calls in their \\?\ form, which takes
// them as they stand: so they are made full and normal first.
std::wstring Win32Path(NativeView path) {
    std::wstring text(path);
    if (text.size() < MAX_PATH - 12 || text.rfind(L"\\\\?\\", 0) == 0) {
        return text;
    }
    DWORD size = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return text;
    }
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(text.c_str(), size, full.data(), nullptr);
    full.resize(size);
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

class Handle {
  public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    void Reset() {
        if (Valid()) {
            CloseHandle(handle_);
        }
        handle_ = INVALID_HANDLE_VALUE;
    }
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

  private:
    HANDLE handle_;
};

class FindHandle {
  public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            FindClose(handle_);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_;
};

// One folder, read in full when it is opened, in the listing's own order:
// names into one arena, files and subfolders apart. Folder links and
// junctions are subfolders, as the listing reports them.
class WindowsFolder final : public ReadFolder {
  public:
    explicit WindowsFolder(NativeView path) {
        const std::wstring target = Win32Path(path);
        ReadId(target);
        ReadEntries(target);
    }

    FolderId Id() const override { return id_; }

    std::unique_ptr<Folder> OpenSubFolder(NativeView /*name*/, NativeView path) override {
        return std::make_unique<WindowsFolder>(path);
    }

  private:
    std::size_t FileCount() const override { return files_.size(); }
    NativeView FileAt(std::size_t index) const override { return NameAt(files_[index]); }
    std::size_t FolderCount() const override { return folders_.size(); }
    NativeView FolderAt(std::size_t index) const override { return NameAt(folders_[index]); }

    NativeView NameAt(std::uint32_t offset) const {
        const wchar_t* start = names_.data() + offset;
        return NativeView(start, wcslen(start));
    }

    void ReadId(const std::wstring& target) {
        Handle folder(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder.Valid()) {
            throw LastError();
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(folder.Get(), &info)) {
            throw LastError();
        }
        id_.volume = info.dwVolumeSerialNumber;
        id_.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }

    void ReadEntries(const std::wstring& target) {
        std::wstring pattern = target;
        if (pattern.empty() || pattern.back() != L'\\') {
            pattern.push_back(L'\\');
        }
        pattern.push_back(L'*');
        WIN32_FIND_DATAW data;
        FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
        if (find.Get() == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) {
                return;  // a drive's root holds no "." entry when it is empty
            }
            throw ErrorFromNumber(static_cast<long>(error));
        }
        do {
            AddEntry(data);
        } while (FindNextFileW(find.Get(), &data));
        const DWORD error = GetLastError();
        if (error != ERROR_NO_MORE_FILES) {
            SetListingError(ErrorFromNumber(static_cast<long>(error)));
        }
    }

    void AddEntry(const WIN32_FIND_DATAW& data) {
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) {
            return;
        }
        const std::size_t length = wcslen(name);
        const auto offset = static_cast<std::uint32_t>(names_.size());
        names_.insert(names_.end(), name, name + length + 1);
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        (isFolder ? folders_ : files_).push_back(offset);
    }

    FolderId id_;
    std::vector<wchar_t> names_;
    std::vector<std::uint32_t> files_;
    std::vector<std::uint32_t> folders_;
};

class WindowsOutputFile final : public OutputFile {
  public:
    explicit WindowsOutputFile(HANDLE handle) : handle_(handle) {}

    void Write(const char* data, std::size_t size, std::size_t* written) override {
        *written = 0;
        while (*written < size) {
            const std::size_t left = size - *written;
            const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
            DWORD done = 0;
            if (!WriteFile(handle_.Get(), data + *written, chunk, &done, nullptr)) {
                throw LastError();
            }
            if (done == 0) {
                throw ErrorFromNumber(ERROR_WRITE_FAULT);
            }
            *written += done;
        }
    }

    void Close() override {
        HANDLE handle = handle_.Release();
        if (!CloseHandle(handle)) {
            throw LastError();
        }
    }

  private:
    Handle handle_;
};

class WindowsFileSystem final : public FileSystem {
  public:
    NativeString FolderPath(NativeView path) override {
        const std::wstring text(path);
        DWORD size = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
        if (size == 0) {
            throw LastError();
        }
        std::wstring full(size, L'\0');
        size = GetFullPathNameW(text.c_str(), size, full.data(), nullptr);
        if (size == 0) {
            throw LastError();
        }
        full.resize(size);
        const DWORD attributes = GetFileAttributesW(Win32Path(full).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // A missing folder is a path not found, whichever step of it is
            // missing.
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                throw MissingFolderError();
            }
            throw ErrorFromNumber(static_cast<long>(error));
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            throw ErrorFromNumber(ERROR_PATH_NOT_FOUND);
        }
        // A listing names a folder without a trailing separator, but for a
        // drive's root ("C:\").
        while (full.size() > 3 && full.back() == L'\\') {
            full.pop_back();
        }
        return full;
    }

    std::unique_ptr<Folder> OpenFolder(NativeView path) override {
        return std::make_unique<WindowsFolder>(path);
    }

    bool IsNormalFile(NativeView path) override {
        const DWORD attributes = GetFileAttributesW(Win32Path(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return false;
        }
        const DWORD notNormal =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        return (attributes & notNormal) == 0;
    }

    std::string ReadStart(NativeView path, std::size_t limit) override {
        Handle file(CreateFileW(Win32Path(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            throw LastError();
        }
        std::string data(limit, '\0');
        std::size_t got = 0;
        while (got < limit) {
            DWORD done = 0;
            if (!ReadFile(file.Get(), data.data() + got, static_cast<DWORD>(limit - got), &done,
                          nullptr)) {
                throw LastError();
            }
            if (done == 0) {
                break;
            }
            got += done;
        }
        data.resize(got);
        return data;
    }

    // A read-only list cannot be removed; finding that out before the copy
    // keeps the start-up from leaving a read-only backup behind it, which
    // would refuse every later copy.
    void CheckRemovable(NativeView path) override {
        const DWORD attributes = GetFileAttributesW(Win32Path(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            throw LastError();
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            throw ErrorFromNumber(ERROR_ACCESS_DENIED);
        }
    }

    void CopyOver(NativeView from, NativeView to) override {
        if (!CopyFileW(Win32Path(from).c_str(), Win32Path(to).c_str(), FALSE)) {
            throw LastError();
        }
    }

    void Remove(NativeView path) override {
        if (!DeleteFileW(Win32Path(path).c_str())) {
            throw LastError();
        }
    }

    std::unique_ptr<OutputFile> CreateForWriting(NativeView path) override {
        // Windows refuses to create a normal file over a hidden or system one;
        // saying so here keeps hosts that would truncate it (Wine) from losing
        // a list that the start-up never backed up.
        const DWORD existing = GetFileAttributesW(Win32Path(path).c_str());
        if (existing != INVALID_FILE_ATTRIBUTES &&
            (existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
            throw ErrorFromNumber(ERROR_ACCESS_DENIED);
        }
        HANDLE handle = CreateFileW(Win32Path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            throw LastError();
        }
        return std::make_unique<WindowsOutputFile>(handle);
    }
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
    return std::make_unique<WindowsFileSystem>();
}
