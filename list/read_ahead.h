#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "folder.h"

// Gives the walk its folders, opened and read ahead of it by a fixed pool of
// threads while it writes the lines of those before, so that a slow drive
// has many listings in flight.
//
// The walk asks for each subfolder when it gets there and takes it as read,
// or as the error its opening met, exactly as if it opened it itself then:
// the list and the problems do not depend on the pool. Each folder read
// offers its subfolders to the pool; a worker takes the one the walk will
// come to first. What no worker has taken yet, the walk reads itself. At most
// a fixed number of folders, and of bytes of names, wait read ahead of the
// walk, so that memory stays bounded on any tree. The threads start, all at
// once, when the walk asks for its first subfolder (a tree of one folder
// starts none); one works at first, as on a local drive with few cores more would
// only contend, and another joins after each few reads that waited for the
// drive. Stopped early, the walk's error goes on after the workers are
// joined; a worker stuck in a listing holds up only the thread that ends
// the walk.
//
// The pool never needs more than the descriptors left over: a worker that
// finds none leaves its folder to the walk and the pool reads less far
// ahead from then on; the walk that finds none closes every folder it is
// not opening from and opens them again, name by name, when it needs them.
class ReadAhead {
  public:
    // Whether the walk leaves out a subfolder of this name, besides names
    // with a line break or a double quote: such folders are never opened.
    // Called on any thread.
    using LeftOut = std::function<bool(NativeView name)>;

    // Up to threads workers, fewer if the system refuses them; with none,
    // the walk reads every folder itself.
    explicit ReadAhead(std::size_t threads, LeftOut leftOut = {});
    // Stops the workers, each after the folder it is reading, and joins them.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The source folder, by its full path. Throws Error when it cannot be
    // opened.
    FolderListing* OpenRoot(NativeView path);

    // The subfolder parent.folders.At(index) of a folder this gave. Throws
    // Error when it could not be opened. Each subfolder is asked for at most
    // once, in their order; names left out are never asked for.
    FolderListing* OpenSubFolder(FolderListing& parent, std::size_t index);

    // A folder the walk is done with, and all that was read ahead beneath
    // it, to be reused.
    void Done(FolderListing* folder);

    // Called on the reading thread before each subfolder is opened: the
    // tests slow the drive down and fail folders through it.
    static void (*beforeOpening)(NativeView name);

  private:
    struct Folder;
    struct Job {
        enum class State : unsigned char { kOpen, kReading, kRead, kTaken };
        State state = State::kOpen;
        Folder* folder = nullptr;  // when read: the folder, or none and the failure
        std::exception_ptr failure;
    };
    struct ClaimOrder {
        bool operator()(const Folder* a, const Folder* b) const;
    };

    Folder* NewFolder(Folder* parent, std::size_t index);
    Folder* Read(Folder& parent, std::size_t index, FolderReader& reader,
                 std::exception_ptr& failure, std::unique_lock<std::mutex>& lock);
    void Publish(Folder& folder);
    void Offer(Folder& folder);
    void Opened(Folder& parent);
    void FreeHandles(const Folder& keep);
    void Reopen(Folder& folder);
    void WaitWhileReading(Job& job, std::unique_lock<std::mutex>& lock);
    void Drop(Folder& folder, std::unique_lock<std::mutex>& lock);
    void Withdraw(Folder& folder);
    bool CanClaim() const;
    void StartWorkers();
    void Work(std::size_t number);
    void ReadNext(FolderReader& reader, std::unique_lock<std::mutex>& lock);

    const LeftOut leftOut_;
    FolderReader walkReader_;
    NativeString rootPath_;

    std::mutex mutex_;
    std::condition_variable work_;                  // workers: a job, or the end
    std::condition_variable read_;                  // the walk: a job done
    std::condition_variable gate_;                  // workers not yet awake: their turn
    std::vector<std::unique_ptr<Folder>> folders_;  // every folder made, for the end
    std::vector<Folder*> spare_;
    std::set<Folder*, ClaimOrder> claimable_;  // folders with jobs no one has taken
    std::size_t ahead_ = 0;                    // jobs taken by workers, not yet by the walk
    std::size_t aheadBytes_ = 0;               // names held by those read
    std::size_t mostAhead_;                    // lowered when descriptors run short
    std::size_t awake_ = 1;                    // workers that take jobs, the first ones
    unsigned slowReads_ = 0;                   // reads in a row that waited for the drive
    std::uint64_t serial_ = 0;
    bool walking_ = false;  // the walk has asked for a subfolder
    bool walkWaits_ = false;
    bool stopping_ = false;
    const std::size_t mostWorkers_;
    std::vector<std::thread> workers_;  // started once, by the walk, then fixed
};
