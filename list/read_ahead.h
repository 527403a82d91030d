#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "folder.h"

// One opening and listing that the walk asks for: the subfolder index of
// from, whose full path is path, read into listing, or the failure that
// stopped it. The walk owns it; a thread touches listing and failure alone,
// and only between its Submit and its return by TakeFinished.
struct ReadJob {
    const FolderListing* from = nullptr;
    std::size_t index = 0;
    NativeString path;
    FolderListing listing;
    std::exception_ptr failure;
};

// Threads that open and list the folders the walk submits, ahead of it, so
// that a slow drive has many in flight: one queue in, in the walk's order,
// and one queue out. The threads never choose what to read, never look at
// the tree and never hold the lock while a system call runs; whatever a job
// meets, out of memory included, goes back to the walk as its failure.
// Every call but the job's own work is the walk's, on its thread.
class ReadAhead {
  public:
    ReadAhead() = default;
    // Jobs not begun are dropped; each thread ends after the job it is
    // doing, and is joined: one stuck on a drive that stopped answering
    // holds up only the thread that ends the walk.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts up to threads threads, for at most mostJobs jobs submitted and
    // not yet taken back; a thread the system refuses is done without.
    // Returns how many run. Throws std::bad_alloc.
    std::size_t Start(std::size_t threads, std::size_t mostJobs);
    std::size_t Threads() const { return threads_.size(); }

    // Queued after the jobs that come before it in the walk's order,
    // before: the threads take them in that order.
    using Order = bool (*)(const ReadJob* a, const ReadJob* b);
    void Submit(ReadJob& job, Order before);
    // Takes back a job that no thread has begun: true when it was still
    // queued, and is now the walk's again.
    bool Withdraw(ReadJob& job);
    // Takes back the first job no thread has begun, if any.
    ReadJob* WithdrawFirst();
    // Moves the jobs done into finished (emptied first), waiting for one
    // when wait is set and none is done: one must then be under way.
    void TakeFinished(std::vector<ReadJob*>& finished, bool wait);
    // Jobs submitted and not yet taken back by TakeFinished or Withdraw.
    std::size_t Pending() const { return pending_; }
    // At most threads jobs done at once (all of them at the start).
    void Allow(std::size_t threads);
    // Jobs submitted that no thread has begun.
    std::size_t Queued();

    // Opens and lists job's folder with reader, keeping what it throws as
    // the job's failure: the threads' work, and the walk's own.
    static void Do(FolderReader& reader, ReadJob& job);

    // Called on the reading thread before each subfolder is opened: the
    // tests slow the drive down and fail openings through it.
    static void (*beforeOpening)(NativeView name);

  private:
    void Work(FolderReader& reader);

    std::mutex mutex_;
    std::condition_variable submitted_;  // the threads: a job, or the end
    std::condition_variable finished_;   // the walk: a job done
    std::deque<ReadJob*> queued_;
    std::atomic<std::size_t> queuedCount_{0};  // its size, for a look without the lock
    std::vector<ReadJob*> done_;               // room for every pending job, made by Start
    std::atomic<std::size_t> doneCount_{0};
    std::size_t pending_ = 0;  // the walk's count, read without the lock
    std::size_t busy_ = 0;     // threads doing a job
    std::size_t active_ = SIZE_MAX;
    bool walkWaits_ = false;
    bool stopping_ = false;
    std::vector<std::unique_ptr<FolderReader>> readers_;
    std::vector<std::thread> threads_;
};
