#pragma once

#include <cstddef>
#include <optional>
#include <utility>

#include "folder.h"
#include "native_text.h"
#include "unique_handle.h"

// The files the program keeps beside itself, as each platform handles them:
// the lock that keeps a second program out, the list and backup read back,
// and the temporary files that replace them whole.

// Held while a program writes a list, released when destroyed and by the
// system when the process dies. It is a file of its own, made new and
// deleted when the lock is let go; what it covers differs by platform:
// - POSIX: every list of the folder the list is in, by .obeygen.lock in that
//   folder and an open file description lock on it (F_OFD_SETLK), which
//   works on NFS too. A second program writing any list in that folder fails
//   with "busy".
// - Windows: the list alone, by LIST.lock beside it, hidden, open to nobody
//   else and deleted by the system with its handle. A second program writing
//   the same list fails with "busy"; lists of other names in the folder are
//   free.
// Whatever else stands in the lock's place (a file of the user's, a link, a
// folder, a FIFO) is never opened through, written or deleted: the start
// fails, naming it. A lock left by a program or system that stopped before
// it could delete it is known by its content and taken over.
class ListLock {
  public:
    explicit ListLock(NativeView list);
    ~ListLock();
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

    // The lock's own file.
    const NativeString& Path() const { return path_; }

  private:
    FileHandle handle_;
    NativeString path_;
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

// Where a list's bytes go.
class ListSink {
  public:
    virtual ~ListSink() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
};

// A new file written in full under a temporary name beside its target, then
// put in the target's place in one step. Until then the target stands as it
// was, whatever happens to the program; a file dropped unfinished is removed.
class ReplacementFile : public ListSink {
  public:
    explicit ReplacementFile(NativeString target);
    ~ReplacementFile() override;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    void Write(const char* data, std::size_t size) override;

    // Puts the file in the target's place, its bytes on the disk first and
    // the new name after, so that neither a crash of the system nor a power
    // cut can leave the target short or empty.
    void Commit();

  private:
    NativeString target_;
    NativeString temporary_;
    FileHandle handle_;
    long long written_ = 0;
};

// The program's standard output, for a list another program reads as it is
// written. A failed write, a reader gone included, throws Error.
class StandardOutput : public ListSink {
  public:
    void Write(const char* data, std::size_t size) override;
};

// Removes what an earlier program left under path, if anything: never a
// folder, never through a link.
void RemoveLeftover(NativeView path);

// path made full from the working directory by the platform's own rule, with
// no trailing separator (but for a root): the form a listing names it in.
// A trailing dot or space stays: "x." and "x " are other names than "x".
// Windows' \\?\ form comes back as the ordinary path it stands for.
NativeString FullPath(NativeView path);

// The folder a full path is in, as a path that opens it ("/" and "C:\" for
// what is at a root).
NativeString FolderOf(NativeView fullPath);

// The identity of the folder path leads to, as FolderReader gives it.
FolderId FolderIdentity(NativeView path);
