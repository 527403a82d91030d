#include "program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "error.h"

namespace {

std::string CString(NativeView path) {
    return std::string(path);
}

}  // namespace

namespace {

// The lock's own file in the list's folder, one for every list there; what it
// holds tells one left by a killed program from a file of the user's.
constexpr char kLockName[] = ".obeygen.lock";
constexpr char kLockContent[] = "ObeyGen lock\n";

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// An open file description lock on the whole file, for writing: the kernel
// lets it go with the last descriptor, also when the process dies, and NFS
// carries it to the server, where a flock on a folder fails.
bool TakeLock(int descriptor) {
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    return ::fcntl(descriptor, F_OFD_SETLK, &whole) == 0;
}

bool LockedByAnother(int descriptor) {
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    return ::fcntl(descriptor, F_OFD_GETLK, &whole) == 0 && whole.l_type != F_UNLCK;
}

bool HoldsLockContent(int descriptor) {
    char content[sizeof kLockContent] = {};
    const ssize_t got = ::pread(descriptor, content, sizeof content, 0);
    return got == static_cast<ssize_t>(sizeof kLockContent - 1) &&
           std::memcmp(content, kLockContent, sizeof kLockContent - 1) == 0;
}

}  // namespace

// Made new when nothing stands in its place; a file of the lock's own content
// and one link, left by a program that was killed, is taken over. Anything
// else there (a file of the user's, a link, a folder, a FIFO) is never opened
// through, written or deleted: the start fails, naming it. Each holder deletes
// the file before it lets the lock go, so a program that locked a file since
// deleted finds it gone from its place and starts again.
ListLock::ListLock(NativeView list) : path_(FolderOf(list)) {
    if (path_.back() != '/') {
        path_.push_back('/');
    }
    path_ += kLockName;
    for (int attempt = 0; attempt < 8; ++attempt) {
        handle_.Reset(
            ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        const bool made = handle_.Valid();
        struct stat there;
        if (!made) {
            if (errno == ENOENT) {
                throw MissingFolderError().At(FolderOf(list));
            }
            if (errno != EEXIST) {
                throw LastError().At(FolderOf(list));
            }
            // Looked at before it is opened: opening a device may act on it.
            if (::lstat(path_.c_str(), &there) != 0) {
                continue;  // gone meanwhile
            }
            if (!S_ISREG(there.st_mode) || there.st_nlink != 1) {
                throw ErrorFromNumber(EEXIST).At(path_);
            }
            handle_.Reset(
                ::open(path_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
            if (!handle_.Valid() && errno == EACCES) {
                // Another user's lock: busy while it is held.
                const FileHandle look(
                    ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
                if (look.Valid() && LockedByAnother(look.Get())) {
                    throw BusyError().At(list);
                }
                throw ErrorFromNumber(EACCES).At(path_);
            }
            if (!handle_.Valid()) {
                throw(errno == ELOOP ? ErrorFromNumber(EEXIST) : LastError()).At(path_);
            }
        }
        if (!TakeLock(handle_.Get())) {
            throw(errno == EAGAIN || errno == EACCES ? BusyError() : LastError()).At(list);
        }
        struct stat held;
        if (::fstat(handle_.Get(), &held) != 0) {
            throw LastError().At(path_);
        }
        if (::lstat(path_.c_str(), &there) != 0 || !SameFile(held, there) || held.st_nlink != 1) {
            continue;  // deleted by the holder it was taken from
        }
        if (made) {
            if (::write(handle_.Get(), kLockContent, sizeof kLockContent - 1) !=
                static_cast<ssize_t>(sizeof kLockContent - 1)) {
                Error failed = LastError();
                ::unlink(path_.c_str());
                throw failed.At(path_);
            }
        } else if (!HoldsLockContent(handle_.Get())) {
            throw ErrorFromNumber(EEXIST).At(path_);
        }
        return;
    }
    throw BusyError().At(list);
}

// Deleted while still held, and only if it is still the one in its place.
ListLock::~ListLock() {
    struct stat held;
    struct stat there;
    if (handle_.Valid() && ::fstat(handle_.Get(), &held) == 0 &&
        ::lstat(path_.c_str(), &there) == 0 && SameFile(held, there)) {
        ::unlink(path_.c_str());
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
    const long long start = written_;
    written_ += static_cast<long long>(size);
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
    // The disk starts on what is written while the walk goes on, so that the
    // flush before the rename has little left to wait for.
    ::sync_file_range(handle_.Get(), start, written_ - start, SYNC_FILE_RANGE_WRITE);
}

// As git and rsync do: the data reaches the disk before the rename, which a
// file system may otherwise put on the disk first (XFS, ext4 without
// auto_da_alloc), and the folder after it, so that the new name does too and
// a second rename (the list's after its backup's) cannot reach the disk
// before this one.
void ReplacementFile::Commit() {
    if (::fsync(handle_.Get()) != 0) {
        throw LastError().At(target_);
    }
    // A file system may report a failed write only at the close.
    if (::close(handle_.Release()) != 0 && errno != EINTR) {
        throw LastError().At(target_);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        throw LastError().At(target_);
    }
    temporary_.clear();
    // The file is in place whatever this gives: a folder a file system cannot
    // flush (some FUSE and network ones refuse) is left to it.
    const FileHandle folder(::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) {
        ::fsync(folder.Get());
    }
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
