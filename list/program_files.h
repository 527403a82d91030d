#pragma once

#include <cstddef>
#include <optional>
#include <utility>

#include "native_text.h"
#include "unique_handle.h"

// The files the program keeps beside itself, as each platform handles them:
// the lock that keeps a second program out, the list and backup read back,
// and the temporary files that replace them whole.

// Held while a program writes a list; a second program's attempt on the same
// list, or on another in its folder, fails with the platform's "busy" error.
// Released when destroyed, and by the system when the process dies.
class ListLock {
  public:
    explicit ListLock(NativeView list);

  private:
    FileHandle handle_;
};

// A list or backup as it stands: a regular file, or nothing. Anything else in
// its place (a folder, a link, a FIFO, a device) throws Error without
// blocking, so that nothing is ever read or written through it.
class ExistingFile {
  public:
    // nullopt when nothing is there.
    static std::optional<ExistingFile> Open(NativeView path);

    // Up to size bytes; 0 at the end.
    std::size_t Read(char* data, std::size_t size);

  private:
    ExistingFile(FileHandle handle, NativeView path) : handle_(std::move(handle)), path_(path) {}
    FileHandle handle_;
    NativeString path_;
};

// A new file written in full under a temporary name beside its target, then
// put in the target's place in one step. Until then the target stands as it
// was, whatever happens to the program; a file dropped unfinished is removed.
class ReplacementFile {
  public:
    explicit ReplacementFile(NativeString target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    void Write(const char* data, std::size_t size);

    // Closes the file and puts it in the target's place.
    void Commit();

  private:
    NativeString target_;
    NativeString temporary_;
    FileHandle handle_;
};

// Removes what an earlier program left under path, if anything: never a
// folder, never through a link.
void RemoveLeftover(NativeView path);

// path made full from the working directory by the platform's own rule, with
// no trailing separator (but for a root): the form a listing names it in.
NativeString FullPath(NativeView path);
