#include "folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Room for the entries of a few thousand names per call: a wide folder takes
// few calls, and the pages the kernel never fills cost no memory.
constexpr std::size_t kReadBufferSize = 256 * 1024;

// The longest path opened at once when a folder is opened again: one that no
// system refuses.
constexpr std::size_t kMostPathAtOnce = 1000;

constexpr off_t kReserveFrom = 64 * 1024;
constexpr off_t kMaxReserve = 64 * 1024 * 1024;

int OpenFolderAt(int parent, const char* path) {
    int fd;
    do {
        fd = ::openat(parent, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        throw LastError();
    }
    return fd;
}

// On the common file systems a folder's size bounds the bytes of its names,
// at a dozen bytes or more per entry: room by it spares a wide folder the
// copies of a growing list, and the pages it never fills cost no memory.
// Small folders grow their lists as they go, as room for each of a deep chain
// would add up; a size no folder has is not believed.
void ReserveFor(const struct stat& st, NameList& files) {
    if (st.st_size >= kReserveFrom && st.st_size <= kMaxReserve) {
        const auto size = static_cast<std::size_t>(st.st_size);
        files.Reserve(size, size / 16);
    }
}

void AddEntry(FolderListing& listing, int fd, const char* name, unsigned char type) {
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
        return;
    }
    NameList* list = type == DT_REG   ? &listing.files
                     : type == DT_DIR ? &listing.folders
                                      : &listing.others;
    if (type == DT_LNK || type == DT_UNKNOWN) {
        // A link is what it leads to; a dangling one, or an entry gone
        // meanwhile, is neither file nor folder.
        struct stat st;
        if (::fstatat(fd, name, &st, 0) == 0) {
            list = S_ISREG(st.st_mode)   ? &listing.files
                   : S_ISDIR(st.st_mode) ? &listing.folders
                                         : &listing.others;
        }
    }
    list->Add(name, std::strlen(name));
}

// getdents64 into the reader's buffer, each kind of name sorted by bytes. An
// error cuts the listing short and is kept with it.
void ReadEntries(FolderListing& listing, char* buffer) {
    const int fd = listing.handle.Get();
    for (;;) {
        const ssize_t size = ::getdents64(fd, buffer, kReadBufferSize);
        if (size < 0 && errno == EINTR) {
            continue;
        }
        if (size < 0) {
            listing.error = LastError();
            break;
        }
        if (size == 0) {
            break;
        }
        for (ssize_t at = 0; at < size;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += entry->d_reclen;
            AddEntry(listing, fd, entry->d_name, entry->d_type);
        }
    }
    listing.files.Sort();
    listing.others.Sort();
    listing.folders.Sort();
}

}  // namespace

NativeHandle NativeHandleTraits::None() {
    return -1;
}
bool NativeHandleTraits::Valid(NativeHandle handle) {
    return handle >= 0;
}
void NativeHandleTraits::Close(NativeHandle handle) {
    ::close(handle);
}

FolderReader::FolderReader() : buffer_(new char[kReadBufferSize]) {}

// In steps of at most kMostPathAtOnce bytes, cut at separators, so that no
// depth is refused for its length.
FileHandle FolderReader::Reopen(NativeHandle from, NativeView path, const FolderId& expected) {
    FileHandle handle;
    while (!path.empty()) {
        std::size_t step = path.size();
        if (step > kMostPathAtOnce) {
            step = path.rfind('/', kMostPathAtOnce);
        }
        const NativeString part(path.substr(0, step));
        const int at = handle.Valid() ? handle.Get() : from >= 0 ? from : AT_FDCWD;
        handle = FileHandle(OpenFolderAt(at, part.c_str()));
        path.remove_prefix(std::min(path.size(), step + 1));
    }
    struct stat st;
    if (::fstat(handle.Get(), &st) != 0) {
        throw LastError();
    }
    if (FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)} !=
        expected) {
        throw StaleError();
    }
    return handle;
}

Error FolderReader::StaleError() {
    return ErrorFromNumber(ESTALE);
}

Error FolderReader::NoHandleLeftError() {
    return ErrorFromNumber(EMFILE);
}

// Those in use below the limit, counted in /proc where it is there, else by
// asking for each; one inherited above the limit takes no room below it.
std::size_t FolderReader::HandlesLeft(std::size_t mostUseful) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    const std::size_t most =
        limit.rlim_cur == RLIM_INFINITY ? SIZE_MAX : static_cast<std::size_t>(limit.rlim_cur);
    std::size_t used = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(fds)) {
            char* end = nullptr;
            const unsigned long fd = std::strtoul(entry->d_name, &end, 10);
            used += *end == '\0' && end != entry->d_name && fd < most &&
                    static_cast<int>(fd) != ::dirfd(fds);
        }
        ::closedir(fds);
    } else {
        for (int fd = 0; fd < static_cast<int>(std::min<std::size_t>(most, 1024)); ++fd) {
            used += ::fcntl(fd, F_GETFD) != -1;
        }
    }
    return std::min(most - std::min(most, used), mostUseful);
}

bool FolderReader::ShortOfHandles(const Error& error) {
    return error.Number() == EMFILE || error.Number() == ENFILE;
}

bool FolderReader::OpensByPath() {
    return false;
}

void FolderReader::Open(NativeView path, FolderListing& listing) {
    try {
        Read(OpenFolderAt(AT_FDCWD, NativeString(path).c_str()), path, listing);
    } catch (Error& error) {
        throw error.At(path);
    }
}

// Opened relative to the parent, so that no path length limit applies.
void FolderReader::OpenSubFolder(const FolderListing& parent, std::size_t index,
                                 NativeView /*path*/, FolderListing& listing) {
    // Names come from the list, where each ends in NUL.
    Read(OpenFolderAt(parent.handle.Get(), parent.folders.At(index).data()), {}, listing);
}

void FolderReader::Read(NativeHandle fd, NativeView /*path*/, FolderListing& listing) {
    listing.handle.Reset(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        throw LastError();
    }
    listing.id =
        FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    ReserveFor(st, listing.files);
    ReadEntries(listing, buffer_.get());
    // A folder without subfolders opens nothing from its handle: a deep
    // chain holds one descriptor per folder that still has some to open.
    if (listing.folders.Empty()) {
        listing.handle.Reset();
    }
}
