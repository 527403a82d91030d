#include "program_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "error.h"

namespace {

std::string CString(NativeView path) {
    return std::string(path);
}

}  // namespace

// A lock on the list's folder itself: no file of its own to leave behind or
// to find in its place, and the kernel lets it go with the last descriptor of
// a dead process.
ListLock::ListLock(NativeView list) {
    const NativeString directory = FolderOf(list);
    handle_.Reset(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!handle_.Valid()) {
        throw LastError().At(directory);
    }
    if (::flock(handle_.Get(), LOCK_EX | LOCK_NB) != 0) {
        throw(errno == EWOULDBLOCK ? BusyError() : LastError()).At(directory);
    }
}

std::optional<ExistingFile> ExistingFile::Open(NativeView path) {
    // Not through a link, and without waiting for a FIFO's writer.
    FileHandle handle(
        ::open(CString(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!handle.Valid()) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        throw LastError().At(path);
    }
    struct stat st;
    if (::fstat(handle.Get(), &st) != 0) {
        throw LastError().At(path);
    }
    if (!S_ISREG(st.st_mode)) {
        throw ErrorFromNumber(S_ISDIR(st.st_mode) ? EISDIR : EINVAL).At(path);
    }
    return ExistingFile(std::move(handle), path);
}

std::size_t ExistingFile::Read(char* data, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(handle_.Get(), data, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            throw LastError().At(path_);
        }
    }
}

ReplacementFile::ReplacementFile(NativeString target)
    : target_(std::move(target)), temporary_(target_ + kTemporarySuffix) {
    RemoveLeftover(temporary_);
    handle_.Reset(
        ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!handle_.Valid()) {
        throw LastError().At(temporary_);
    }
}

ReplacementFile::~ReplacementFile() {
    if (!temporary_.empty()) {
        handle_.Reset();
        ::unlink(temporary_.c_str());
    }
}

void ReplacementFile::Write(const char* data, std::size_t size) {
    while (size != 0) {
        const ssize_t done = ::write(handle_.Get(), data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw LastError().At(target_);
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
}

void ReplacementFile::Commit() {
    // A file system may report a failed write only at the close.
    if (::close(handle_.Release()) != 0 && errno != EINTR) {
        throw LastError().At(target_);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        throw LastError().At(target_);
    }
    temporary_.clear();
}

void StandardOutput::Write(const char* data, std::size_t size) {
    while (size != 0) {
        const ssize_t done = ::write(STDOUT_FILENO, data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw LastError().At("standard output");
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
}

void RemoveLeftover(NativeView path) {
    if (::unlink(CString(path).c_str()) != 0 && errno != ENOENT && errno != EISDIR) {
        throw LastError().At(path);
    }
}

NativeString FullPath(NativeView path) {
    std::string text = CString(path);
    if (text.empty() || text[0] != '/') {
        std::unique_ptr<char, decltype(&std::free)> here(::getcwd(nullptr, 0), &std::free);
        if (here == nullptr) {
            throw LastError().At(path);
        }
        text = std::string(here.get()) + "/" + text;
    }
    // As a listing names it: no doubled separators, no "." steps, no
    // trailing separator. Links and ".." stay as they are named.
    NativeString out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = text.find('/', i);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > i && !(end - i == 1 && text[i] == '.')) {
            out.push_back('/');
            out.append(text, i, end - i);
        }
        i = end + 1;
    }
    return out.empty() ? NativeString("/") : out;
}

NativeString FolderOf(NativeView fullPath) {
    return NativeString(fullPath.substr(0, std::max<std::size_t>(fullPath.rfind('/'), 1)));
}

FolderId FolderIdentity(NativeView path) {
    struct stat st;
    if (::stat(CString(path).c_str(), &st) != 0) {
        throw LastError().At(path);
    }
    return FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}
