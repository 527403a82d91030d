#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "folder.h"

// Gives the walk its folders, opened and read ahead of it by a pool of
// threads while it writes the lines of those before, so that the walk waits
// for a drive as seldom as the drive allows.
//
// The walk asks for each subfolder when it gets there and takes it as read,
// or as the error that its opening met, exactly as if it opened it itself
// then: the list and the problems do not depend on the pool. The pool reads
// the folders the walk will want soonest, in its order as far as it is
// known; a folder the walk wants before the pool has come to it, the walk
// reads itself. At most a fixed number of folders, and of bytes of names,
// wait read ahead of the walk, so that memory stays bounded on any tree.
//
// The threads start with the first folder that has subfolders, one per core
// but one, as the walk reads ahead too rather than wait while reads are
// quick; more start, up to 16, while reads take a millisecond or more, as
// on a drive where each listing costs a round trip.
class ReadAhead {
  public:
    // Up to threads threads; 0 leaves every folder to the walk.
    explicit ReadAhead(std::size_t threads);
    // Waits for the folders in flight, then lets every folder go.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The source folder, by its full path. Throws Error when it cannot be
    // opened.
    FolderListing* OpenRoot(NativeView path);

    // The subfolder parent.folders.At(index) of a folder this gave. Throws
    // Error when it could not be opened. Each subfolder is asked for at most
    // once, in their order.
    FolderListing* OpenSubFolder(FolderListing& parent, std::size_t index);

    // A folder the walk is done with, and all that was read ahead beneath
    // it, to be reused.
    void Done(FolderListing* folder);

  private:
    struct Folder;
    struct Subfolder;
    struct ClaimOrder {
        bool operator()(const Folder* a, const Folder* b) const;
    };

    Folder* Take(Folder* parent, std::size_t index);
    Folder* ReadClaimed(Folder& parent, std::size_t index, FolderReader& reader,
                        std::exception_ptr& failure, std::unique_lock<std::mutex>& lock);
    void Publish(Folder& folder);
    void Claimable(Folder& folder);
    void Unclaimable(Folder& folder) noexcept;
    bool RepeatsAncestor(const Folder& folder) const;
    void Release(Folder& parent);
    void CloseReleased(std::unique_lock<std::mutex>& lock);
    void WaitWhileReading(Subfolder& subfolder, std::unique_lock<std::mutex>& lock);
    void LeaveWindow(Folder* folder);
    void Drop(Folder& folder, std::unique_lock<std::mutex>& lock);
    bool HasWork() const;
    bool WindowHasRoom() const;
    void Work();
    void ReadNext(FolderReader& reader, std::unique_lock<std::mutex>& lock);
    void StartThread();

    const std::size_t maxThreads_;
    FolderReader walkReader_;

    std::mutex mutex_;
    std::condition_variable work_;                  // workers: a folder to read, or the end
    std::condition_variable read_;                  // the walk: a folder read
    std::vector<std::unique_ptr<Folder>> folders_;  // every folder made, for the end
    std::vector<Folder*> spare_;
    std::vector<NativeHandle> released_;       // to be closed without the lock
    std::set<Folder*, ClaimOrder> claimable_;  // folders with subfolders left to claim
    std::vector<std::set<Folder*, ClaimOrder>::node_type> spareNodes_;
    std::size_t ahead_ = 0;         // subfolders claimed, not yet taken
    std::size_t aheadBytes_ = 0;    // names held by those read
    std::size_t idle_ = 0;          // workers waiting for work
    int slowReads_ = 0;             // reads in a row that waited for the drive
    Subfolder* awaited_ = nullptr;  // what the walk waits for
    std::uint64_t serial_ = 0;
    bool windowRefills_ = false;  // full until half empty
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};
