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
    bool operator!=(const FolderId& other) const { return !(*this == other); }
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
    // Where subfolders are opened from, while some are left to open, where
    // the platform opens them so; Windows opens them by path and holds none.
    FileHandle handle;
};

// Opens and reads folders into listings that are empty, or were cleared.
// One reader per thread, as it holds the room for raw entries. Defined by
// each platform.
class FolderReader {
  public:
    FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // Whether a subfolder is opened by its full path, rather than from its
    // parent's handle alone.
    static bool OpensByPath();

    // The source folder, by its full path. Throws Error when it cannot be
    // opened.
    void Open(NativeView path, FolderListing& listing);

    // The subfolder parent.folders.At(index), whose full path is path (read
    // only where OpensByPath). Throws Error when it cannot be opened. The
    // parent's handle must stay open until this returns; several threads may
    // open subfolders of one parent at once.
    void OpenSubFolder(const FolderListing& parent, std::size_t index, NativeView path,
                       FolderListing& listing);

    // The folder at path (names separated, of any length) inside the open
    // folder from, or at the full path when from is none, opened again to
    // open subfolders from (never on a platform that OpensByPath). Throws
    // Error, and StaleError when it is no longer the folder expected: one
    // closed early and replaced meanwhile is never listed in its place.
    static FileHandle Reopen(NativeHandle from, NativeView path, const FolderId& expected);
    static Error StaleError();
    // The platform's error for a process that has no descriptor or handle left.
    static Error NoHandleLeftError();

    // How many more descriptors or handles the process may open now, at
    // most mostUseful: a walk's budget, fixed when it starts.
    static std::size_t HandlesLeft(std::size_t mostUseful);

    // Whether the error says that the process or the system has no
    // descriptor or handle left to open one more.
    static bool ShortOfHandles(const Error& error);

  private:
    // Reads the folder just opened as handle, whose full path is path.
    void Read(NativeHandle handle, NativeView path, FolderListing& listing);

    // The platform's room for raw entries, left uninitialised: the pages no
    // listing fills cost no memory.
    std::unique_ptr<char[]> buffer_;
};
