#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "native_text.h"

// Identity of a folder on its volume (device and inode on POSIX, volume serial
// and file index on Windows): two paths that reach the same folder share it.
struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FolderId& other) const {
        return volume == other.volume && index == other.index;
    }
};

// One open folder of a walk, as the folder listing reports it: its files, then
// its subfolders, each enumerated once in walk order. Every method may throw
// Error. Names are valid until the folder is destroyed.
class Folder {
  public:
    virtual ~Folder() = default;

    virtual FolderId Id() const = 0;

    // The next file's name; false when the files are done.
    virtual bool NextFile(NativeView* name) = 0;

    virtual std::size_t SubFolderCount() = 0;

    // The next subfolder's name; false when the subfolders are done.
    virtual bool NextSubFolder(NativeView* name) = 0;

    // Opens the subfolder that NextSubFolder just named; path is its full path.
    virtual std::unique_ptr<Folder> OpenSubFolder(NativeView name, NativeView path) = 0;
};

// The list file as the platform holds it: bytes go straight to the file.
class OutputFile {
  public:
    virtual ~OutputFile() = default;

    // Writes all of data, or throws with *written telling how much got through.
    virtual void Write(const char* data, std::size_t size, std::size_t* written) = 0;

    virtual void Close() = 0;
};

// The file services and the folder listing the list generation relies on.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The full path of a folder, as the listing reports it: normalised, without
    // a trailing separator. Throws when the folder is missing.
    virtual NativeString FolderPath(NativeView path) = 0;

    virtual std::unique_ptr<Folder> OpenFolder(NativeView path) = 0;

    // True for a normal file: not a folder, not hidden, not a system file.
    virtual bool IsNormalFile(NativeView path) = 0;

    // Up to limit bytes from the start of a file.
    virtual std::string ReadStart(NativeView path, std::size_t limit) = 0;

    // Throws the error that removing path would meet, where the platform can
    // tell it beforehand, so that nothing on disk is touched for a start-up
    // bound to fail.
    virtual void CheckRemovable(NativeView path) = 0;

    // Copies from over to, replacing a file that is there.
    virtual void CopyOver(NativeView from, NativeView to) = 0;

    virtual void Remove(NativeView path) = 0;

    // Creates the file for writing, or truncates the one that is there.
    virtual std::unique_ptr<OutputFile> CreateForWriting(NativeView path) = 0;
};

// The platform's own file services.
std::unique_ptr<FileSystem> MakeNativeFileSystem();
