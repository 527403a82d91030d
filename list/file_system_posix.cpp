#include "file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "error.h"

namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }
    void Reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

std::string CString(NativeView path) {
    return std::string(path);
}

int OpenFolderAt(int parent, const char* name) {
    int fd;
    do {
        fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// One folder, read in full when it is opened: getdents64 into a buffer shared
// by the whole walk, names into one arena per folder, files and subfolders
// each sorted by the bytes of their names. The descriptor stays open only
// while subfolders remain to be opened relative to it.
class PosixFolder final : public Folder {
  public:
    PosixFolder(int fd, std::vector<char>& readBuffer) : fd_(fd), readBuffer_(readBuffer) {
        struct stat st;
        if (::fstat(fd_.Get(), &st) != 0) {
            throw LastError();
        }
        id_ =
            FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
        ReadEntries(readBuffer);
        if (folders_.empty()) {
            fd_.Reset();
        }
    }

    FolderId Id() const override { return id_; }

    bool NextFile(NativeView* name) override {
        if (nextFile_ < files_.size()) {
            *name = NameAt(files_[nextFile_++]);
            return true;
        }
        if (listingError_) {
            Error error = *listingError_;
            listingError_.reset();
            throw error;
        }
        return false;
    }

    std::size_t SubFolderCount() override { return folders_.size(); }

    bool NextSubFolder(NativeView* name) override {
        if (nextFolder_ >= folders_.size()) {
            return false;
        }
        *name = NameAt(folders_[nextFolder_++]);
        return true;
    }

    // Opened relative to this folder, so no path length limit applies.
    std::unique_ptr<Folder> OpenSubFolder(NativeView name, NativeView /*path*/) override {
        // Names come from the arena, where each ends in NUL.
        int fd = OpenFolderAt(fd_.Get(), name.data());
        if (fd < 0) {
            throw LastError();
        }
        if (nextFolder_ >= folders_.size()) {
            fd_.Reset();
        }
        return std::make_unique<PosixFolder>(fd, readBuffer_);
    }

  private:
    NativeView NameAt(std::uint32_t offset) const {
        const char* start = names_.data() + offset;
        return NativeView(start, std::strlen(start));
    }

    void ReadEntries(std::vector<char>& buffer) {
        for (;;) {
            ssize_t size = ::getdents64(fd_.Get(), buffer.data(), buffer.size());
            if (size < 0) {
                if (errno == EINTR) {
                    continue;
                }
                listingError_ = LastError();
                break;
            }
            if (size == 0) {
                break;
            }
            for (ssize_t at = 0; at < size;) {
                const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.data() + at);
                at += entry->d_reclen;
                AddEntry(entry->d_name, entry->d_type);
            }
        }
        auto byBytes = [this](std::uint32_t a, std::uint32_t b) {
            return std::strcmp(names_.data() + a, names_.data() + b) < 0;
        };
        std::sort(files_.begin(), files_.end(), byBytes);
        std::sort(folders_.begin(), folders_.end(), byBytes);
    }

    void AddEntry(const char* name, unsigned char type) {
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            return;
        }
        bool isFolder = type == DT_DIR;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            // A link to a folder is walked as a folder; a dangling link, or
            // an entry gone meanwhile, is listed as the file the listing saw.
            struct stat st;
            isFolder = ::fstatat(fd_.Get(), name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        const std::size_t length = std::strlen(name);
        const auto offset = static_cast<std::uint32_t>(names_.size());
        names_.insert(names_.end(), name, name + length + 1);
        (isFolder ? folders_ : files_).push_back(offset);
    }

    Descriptor fd_;
    FolderId id_;
    std::vector<char> names_;
    std::vector<std::uint32_t> files_;
    std::vector<std::uint32_t> folders_;
    std::size_t nextFile_ = 0;
    std::size_t nextFolder_ = 0;
    std::optional<Error> listingError_;
    std::vector<char>& readBuffer_;
};

void WriteAll(int fd, const char* data, std::size_t size, std::size_t* written) {
    *written = 0;
    while (*written < size) {
        ssize_t done = ::write(fd, data + *written, size - *written);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw LastError();
        }
        *written += static_cast<std::size_t>(done);
    }
}

class PosixOutputFile final : public OutputFile {
  public:
    explicit PosixOutputFile(int fd) : fd_(fd) {}

    void Write(const char* data, std::size_t size, std::size_t* written) override {
        WriteAll(fd_.Get(), data, size, written);
    }

    void Close() override {
        int fd = fd_.Release();
        if (::close(fd) != 0 && errno != EINTR) {
            throw LastError();
        }
    }

  private:
    Descriptor fd_;
};

class PosixFileSystem final : public FileSystem {
  public:
    PosixFileSystem() : readBuffer_(kReadBufferSize) {
        // Each folder with subfolders still to open holds a descriptor, so a
        // deep tree needs as many as it is deep.
        struct rlimit limit;
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    }

    NativeString FolderPath(NativeView path) override {
        const std::string text = CString(path);
        struct stat st;
        if (::stat(text.c_str(), &st) != 0) {
            throw LastError();
        }
        if (!S_ISDIR(st.st_mode)) {
            throw ErrorFromNumber(ENOTDIR);
        }
        // The path as a listing names it: no doubled separators, no "."
        // steps, no trailing separator. Links stay as they are named.
        NativeString out;
        std::size_t i = 0;
        while (i < text.size()) {
            if (text[i] == '/') {
                ++i;
                continue;
            }
            std::size_t end = text.find('/', i);
            if (end == std::string::npos) {
                end = text.size();
            }
            if (!(end - i == 1 && text[i] == '.')) {
                out.push_back('/');
                out.append(text, i, end - i);
            }
            i = end;
        }
        if (out.empty()) {
            out = "/";
        }
        return out;
    }

    std::unique_ptr<Folder> OpenFolder(NativeView path) override {
        const std::string text = CString(path);
        int fd = OpenFolderAt(AT_FDCWD, text.c_str());
        if (fd < 0) {
            throw LastError();
        }
        return std::make_unique<PosixFolder>(fd, readBuffer_);
    }

    bool IsNormalFile(NativeView path) override {
        struct stat st;
        return ::stat(CString(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    std::string ReadStart(NativeView path, std::size_t limit) override {
        Descriptor fd(::open(CString(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (fd.Get() < 0) {
            throw LastError();
        }
        std::string data(limit, '\0');
        std::size_t got = 0;
        while (got < limit) {
            ssize_t done = ::read(fd.Get(), data.data() + got, limit - got);
            if (done < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throw LastError();
            }
            if (done == 0) {
                break;
            }
            got += static_cast<std::size_t>(done);
        }
        data.resize(got);
        return data;
    }

    void CheckRemovable(NativeView /*path*/) override {
        // Removing a file needs only the folder's permission, which the copy
        // before the removal meets first.
    }

    // The copy goes to a new file beside the backup that then replaces it in
    // one step, so a copy that fails midway leaves the old backup whole.
    void CopyOver(NativeView from, NativeView to) override {
        const std::string target = CString(to);
        struct stat targetStat;
        if (::stat(target.c_str(), &targetStat) == 0) {
            if (S_ISDIR(targetStat.st_mode)) {
                throw ErrorFromNumber(EISDIR);
            }
            if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
                throw LastError();
            }
        }
        Descriptor source(::open(CString(from).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (source.Get() < 0) {
            throw LastError();
        }
        std::string temporary = target + ".XXXXXX";
        Descriptor copy(::mkostemp(temporary.data(), O_CLOEXEC));
        if (copy.Get() < 0) {
            throw LastError();
        }
        try {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            if (::fchmod(copy.Get(), 0666 & ~mask) != 0) {
                throw LastError();
            }
            CopyBytes(source.Get(), copy.Get());
            int fd = copy.Release();
            if (::close(fd) != 0 && errno != EINTR) {
                throw LastError();
            }
            if (::rename(temporary.c_str(), target.c_str()) != 0) {
                throw LastError();
            }
        } catch (...) {
            copy.Reset();
            ::unlink(temporary.c_str());
            throw;
        }
    }

    void Remove(NativeView path) override {
        if (::unlink(CString(path).c_str()) != 0) {
            throw LastError();
        }
    }

    std::unique_ptr<OutputFile> CreateForWriting(NativeView path) override {
        int fd = ::open(CString(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY,
                        0666);
        if (fd < 0) {
            throw LastError();
        }
        return std::make_unique<PosixOutputFile>(fd);
    }

  private:
    static constexpr std::size_t kReadBufferSize = 128 * 1024;

    static void CopyBytes(int from, int to) {
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            ssize_t got = ::read(from, buffer.data(), buffer.size());
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throw LastError();
            }
            if (got == 0) {
                return;
            }
            std::size_t written = 0;
            WriteAll(to, buffer.data(), static_cast<std::size_t>(got), &written);
        }
    }

    std::vector<char> readBuffer_;
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
    return std::make_unique<PosixFileSystem>();
}
