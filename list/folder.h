#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "error.h"
#include "name_list.h"
#include "unique_handle.h"

// Identity of a folder on its volume (device and inode on POSIX, volume serial
// and file index on Windows): two paths that reach the same folder share it.
struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FolderId& other) const {
        return volume == other.volume && index == other.index;
    }
};

struct FolderIdHash {
    std::size_t operator()(const FolderId& id) const {
        return std::hash<std::uint64_t>()(id.index * 0x9E3779B97F4A7C15ull ^ id.volume);
    }
};

// One folder as its listing reported it, read in full when it was opened:
// the walk reads the names and takes the error as data. Files are regular
// files or links to one; others are what is neither a file nor a folder
// (FIFOs, sockets, devices, dangling links), never listed.
struct FolderListing {
    FolderId id;
    NameList files;
    NameList others;
    NameList folders;
    std::optional<Error> error;  // what cut the listing short; the names before it stand
    FileHandle handle;           // where the platform opens subfolders from, while it must
};

// Opens and reads folders for one walk, reusing the memory of folders done.
// Defined by each platform.
class FolderReader {
  public:
    FolderReader();
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // The source folder, by its full path. Throws Error when it cannot be
    // opened.
    std::unique_ptr<FolderListing> Open(NativeView path);

    // The subfolder parent->folders.At(index), whose full path is path.
    // Throws Error when it cannot be opened. The last subfolder opened lets
    // the parent's handle go.
    std::unique_ptr<FolderListing> OpenSubFolder(FolderListing& parent, std::size_t index,
                                                 NativeView path);

    // A folder done with, kept for its memory.
    void Recycle(std::unique_ptr<FolderListing> listing) noexcept;

  private:
    std::unique_ptr<FolderListing> Take();
    // Reads the folder just opened as handle, whose full path is path.
    std::unique_ptr<FolderListing> Read(NativeHandle handle, NativeView path);

    std::vector<std::unique_ptr<FolderListing>> spare_;
    std::vector<char> buffer_;  // the platform's room for raw entries
};
