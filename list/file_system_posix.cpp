#include "file_system.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "descriptor_posix.h"
#include "error.h"
#include "folder_posix.h"

namespace {

std::string CString(NativeView path) {
    return std::string(path);
}

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
    PosixFileSystem() {
        // Each folder with subfolders still to open holds a descriptor, so a
        // deep tree needs as many as it is deep.
        struct rlimit limit;
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    }

    NativeString FolderPath(NativeView path) override {
        std::string text = CString(path);
        if (text.empty() || text[0] != '/') {
            // A full path, as the listing reports it, from wherever we stand.
            std::unique_ptr<char, decltype(&std::free)> here(::getcwd(nullptr, 0), &std::free);
            if (here == nullptr) {
                throw LastError();
            }
            text = std::string(here.get()) + "/" + text;
        }
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
        return OpenPosixFolder(AT_FDCWD, CString(path).c_str(), listings_);
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

    FolderListings listings_;
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
    return std::make_unique<PosixFileSystem>();
}
