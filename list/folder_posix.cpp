#include "folder_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "descriptor_posix.h"
#include "error.h"
#include "read_folder.h"

namespace {

// Room for the entries of a few thousand names per call: a wide folder takes
// few calls, and the pages the kernel never fills cost no memory.
constexpr std::size_t kReadBufferSize = 256 * 1024;

// How many names ahead of the walk a folder asks for the next name's memory.
constexpr std::size_t kPrefetchAhead = 8;

constexpr off_t kReserveFrom = 64 * 1024;
constexpr std::uint64_t kMaxReserve = 64 * 1024 * 1024;

int OpenFolderAt(int parent, const char* path) {
    int fd;
    do {
        fd = ::openat(parent, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// One folder, read in full when it is opened: getdents64 into the walk's
// shared buffer, files and subfolders each sorted by the bytes of their
// names. The descriptor stays open only while subfolders remain to be opened
// relative to it.
class PosixFolder final : public ReadFolder {
  public:
    PosixFolder(int fd, FolderListings& listings)
        : fd_(fd), listings_(listings), names_(listings.Take()) {
        struct stat st;
        if (::fstat(fd_.Get(), &st) != 0) {
            throw LastError();
        }
        id_ =
            FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
        ReserveFor(st);
        ReadEntries();
        if (names_->folders.Empty()) {
            fd_.Reset();
        }
    }

    ~PosixFolder() override { listings_.Give(std::move(names_)); }

    FolderId Id() const override { return id_; }

    // Opened relative to this folder, so no path length limit applies.
    std::unique_ptr<Folder> OpenSubFolder(NativeView name, NativeView /*path*/) override {
        // Names come from the list, where each ends in NUL.
        int fd = OpenFolderAt(fd_.Get(), name.data());
        if (fd < 0) {
            throw LastError();
        }
        if (AllSubFoldersNamed()) {
            fd_.Reset();
        }
        return std::make_unique<PosixFolder>(fd, listings_);
    }

  private:
    std::size_t FileCount() const override { return names_->files.Size(); }
    NativeView FileAt(std::size_t index) const override {
        names_->files.Prefetch(index + kPrefetchAhead);
        return names_->files.At(index);
    }
    std::size_t FolderCount() const override { return names_->folders.Size(); }
    NativeView FolderAt(std::size_t index) const override { return names_->folders.At(index); }

    // On the common file systems a folder's size bounds the bytes of its
    // names, at a dozen bytes or more per entry: room by it spares a wide
    // folder the copies of a growing list, and the pages it never fills cost
    // no memory. Small folders grow their lists as they go, as room for each
    // of a deep chain would add up; a size no folder has is not believed.
    void ReserveFor(const struct stat& st) {
        if (st.st_size < kReserveFrom || static_cast<std::uint64_t>(st.st_size) > kMaxReserve) {
            return;
        }
        const auto size = static_cast<std::size_t>(st.st_size);
        names_->files.Reserve(size, size / 16);
    }

    void ReadEntries() {
        std::vector<char>& buffer = listings_.ReadBuffer();
        for (;;) {
            ssize_t size = ::getdents64(fd_.Get(), buffer.data(), buffer.size());
            if (size < 0) {
                if (errno == EINTR) {
                    continue;
                }
                SetListingError(LastError());
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
        names_->files.Sort();
        names_->folders.Sort();
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
        (isFolder ? names_->folders : names_->files).Add(name, std::strlen(name));
    }

    Descriptor fd_;
    FolderListings& listings_;
    std::unique_ptr<FolderListings::Names> names_;
    FolderId id_;
};

}  // namespace

FolderListings::FolderListings() : readBuffer_(kReadBufferSize) {}

std::unique_ptr<FolderListings::Names> FolderListings::Take() {
    if (spare_.empty()) {
        return std::make_unique<Names>();
    }
    std::unique_ptr<Names> names = std::move(spare_.back());
    spare_.pop_back();
    return names;
}

void FolderListings::Give(std::unique_ptr<Names> names) noexcept {
    names->files.Clear();
    names->folders.Clear();
    try {
        spare_.push_back(std::move(names));
    } catch (const std::bad_alloc&) {
        // Not kept, then: the lists are freed with names.
    }
}

std::unique_ptr<Folder> OpenPosixFolder(int parent, const char* path, FolderListings& listings) {
    int fd = OpenFolderAt(parent, path);
    if (fd < 0) {
        throw LastError();
    }
    return std::make_unique<PosixFolder>(fd, listings);
}
