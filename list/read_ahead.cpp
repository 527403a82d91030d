#include "read_ahead.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <system_error>
#include <utility>

#include "obey_format.h"

namespace {

// Folders that may wait read ahead of the walk, and bytes of their names:
// enough to keep a slow drive busy, little enough for any tree.
constexpr std::size_t kMostAhead = 64;
constexpr std::size_t kMostAheadBytes = 4 * 1024 * 1024;

// Workers when not limited: as many listings in flight as a share answers
// at once. Only one works at first, as a local drive on few cores gains
// nothing from more; another joins after each few reads in a row that
// waited for the drive.
constexpr std::size_t kMostThreads = 16;
constexpr auto kSlowRead = std::chrono::milliseconds(1);
constexpr unsigned kSlowReadsToWake = 4;

// The levels of a folder's place in the walk's order that are kept; deeper
// folders with the same first levels are told apart by when they were read.
constexpr std::size_t kPlaceLevels = 16;
constexpr std::uint32_t kEndOfPlace = std::numeric_limits<std::uint32_t>::max();

// The longest path opened at once when a folder is opened again by the
// names on its way: one that no system refuses.
constexpr std::size_t kMostPathAtOnce = 1000;

// A folder done keeps at most this much room for names, for reuse: a few
// wide folders must not leave every spare folder wide.
constexpr std::size_t kKeepBytes = 256 * 1024;

std::size_t NamesCapacity(const FolderListing& listing) {
    return listing.files.Capacity() + listing.others.Capacity() + listing.folders.Capacity();
}

bool ShortOfHandles(const std::exception_ptr& failure) {
    if (!failure) {
        return false;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const Error& error) {
        return FolderReader::ShortOfHandles(error);
    } catch (...) {
        return false;
    }
}

}  // namespace

void (*ReadAhead::beforeOpening)(NativeView name) = nullptr;

struct ReadAhead::Folder : FolderListing {
    Folder* parent = nullptr;  // lives at least as long
    std::size_t index = 0;     // among the parent's folders
    // The index of each folder on the way from the root, then kEndOfPlace:
    // compared in turn, they put the folders in the order in which the walk
    // comes to their next subfolder, a folder's read subfolders before it.
    std::array<std::uint32_t, kPlaceLevels> place{};
    std::size_t depth = 0;
    std::uint64_t serial = 0;
    std::vector<Job> jobs;      // one per subfolder
    std::size_t nextJob = 0;    // no job before it is left for a worker
    std::size_t unopened = 0;   // subfolders still to open: the handle goes with the last
    std::size_t opening = 0;    // openings from its handle under way
    std::size_t heldBytes = 0;  // counted in aheadBytes_ while read ahead
    NativeString path;          // where subfolders are opened by path
    bool withdrawn = false;     // being dropped: no job beneath it is taken
    bool reading = false;       // by a thread without the lock
};

bool ReadAhead::ClaimOrder::operator()(const Folder* a, const Folder* b) const {
    if (a->place != b->place) {
        return a->place < b->place;
    }
    return a->serial > b->serial;
}

ReadAhead::ReadAhead(std::size_t threads, LeftOut leftOut)
    : leftOut_(std::move(leftOut)),
      mostAhead_(kMostAhead),
      mostWorkers_(std::min(threads, kMostThreads)) {}

// On the walk's thread, the one that joins them, with the lock held: the
// workers wait for it before they look at anything. A thread the system
// refuses is done without, and no other is tried: a limit on processes fails
// every try alike.
void ReadAhead::StartWorkers() {
    try {
        workers_.reserve(mostWorkers_);
        for (std::size_t number = 0; number < mostWorkers_; ++number) {
            workers_.emplace_back([this, number] { Work(number); });
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    gate_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

FolderListing* ReadAhead::OpenRoot(NativeView path) {
    std::unique_lock<std::mutex> lock(mutex_);
    Folder* root = NewFolder(nullptr, 0);
    rootPath_.assign(path);
    lock.unlock();
    try {
        walkReader_.Open(path, *root);
        if (FolderReader::OpensByPath()) {
            root->path.assign(path);
        }
        root->jobs.assign(root->folders.Size(), Job{});
    } catch (...) {
        lock.lock();
        Drop(*root, lock);
        throw;
    }
    lock.lock();
    Publish(*root);
    return root;
}

FolderListing* ReadAhead::OpenSubFolder(FolderListing& parentListing, std::size_t index) {
    Folder& parent = static_cast<Folder&>(parentListing);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!walking_) {
        // The pool starts with the walk's first subfolder: what the click
        // opens before then finds the descriptors it needs.
        walking_ = true;
        StartWorkers();
        Offer(parent);
    }
    Job& job = parent.jobs[index];
    // While reads are quick the walk reads ahead itself rather than sleep:
    // a sleep and a wake cost more than a folder's reading.
    while (job.state == Job::State::kReading && slowReads_ == 0 && CanClaim()) {
        ReadNext(walkReader_, lock);
    }
    WaitWhileReading(job, lock);
    Folder* child = nullptr;
    std::exception_ptr failure;
    if (job.state == Job::State::kRead) {
        child = job.folder;
        failure = job.failure;
        --ahead_;
        aheadBytes_ -= child != nullptr ? child->heldBytes : 0;
        // A worker that waits for room goes on when half of it is free,
        // with many folders to read: a wake per folder costs more than one.
        if (ahead_ <= mostAhead_ / 2) {
            work_.notify_one();
        }
    } else {
        job.state = Job::State::kReading;
        child = Read(parent, index, walkReader_, failure, lock);
        if (ShortOfHandles(failure)) {
            // The pool's and the walk's folders hold the descriptors: the
            // walk lets go of all it can and tries once more.
            FreeHandles(parent);
            failure = nullptr;
            child = Read(parent, index, walkReader_, failure, lock);
        }
        Opened(parent);
    }
    job = Job{Job::State::kTaken, nullptr, nullptr};
    lock.unlock();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return child;
}

void ReadAhead::Done(FolderListing* folder) {
    std::unique_lock<std::mutex> lock(mutex_);
    Drop(static_cast<Folder&>(*folder), lock);
}

// A folder to read into, placed as the subfolder index of parent (the root
// when none). Called with the lock held.
ReadAhead::Folder* ReadAhead::NewFolder(Folder* parent, std::size_t index) {
    if (spare_.empty()) {
        folders_.push_back(std::make_unique<Folder>());
        // So that a folder done always finds room among the spares.
        if (spare_.capacity() < folders_.size()) {
            spare_.reserve(2 * folders_.size());
        }
        spare_.push_back(folders_.back().get());
    }
    Folder* folder = spare_.back();
    spare_.pop_back();
    folder->parent = parent;
    folder->index = index;
    folder->place.fill(kEndOfPlace);
    folder->depth = 0;
    if (parent != nullptr) {
        folder->place = parent->place;
        folder->depth = parent->depth + 1;
        if (parent->depth < kPlaceLevels) {
            folder->place[parent->depth] =
                static_cast<std::uint32_t>(std::min<std::size_t>(index, kEndOfPlace - 1));
        }
    }
    folder->serial = ++serial_;
    return folder;
}

// Opens and reads the subfolder index of parent, claimed by the caller,
// without the lock, and makes a job of each of its own subfolders. What
// that throws is kept in failure, and none is returned. Called with the
// lock held.
ReadAhead::Folder* ReadAhead::Read(Folder& parent, std::size_t index, FolderReader& reader,
                                   std::exception_ptr& failure,
                                   std::unique_lock<std::mutex>& lock) {
    Folder* child = nullptr;
    try {
        if (!FolderReader::OpensByPath() && !parent.handle.Valid()) {
            Reopen(parent);
        }
        child = NewFolder(&parent, index);
        child->reading = true;
        ++parent.opening;
        lock.unlock();
        try {
            const NativeView name = parent.folders.At(index);
            if (beforeOpening != nullptr) {
                beforeOpening(name);
            }
            if (FolderReader::OpensByPath()) {
                child->path.assign(parent.path).append(1, kSeparator).append(name);
            }
            reader.OpenSubFolder(parent, index, child->path, *child);
            child->jobs.assign(child->folders.Size(), Job{});
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        child->reading = false;
        --parent.opening;
    } catch (...) {
        failure = std::current_exception();
    }
    if (child != nullptr && failure) {
        Drop(*child, lock);
        child = nullptr;
    }
    if (child != nullptr) {
        Publish(*child);
    }
    return child;
}

// Offers the subfolders of a folder just read to the workers. Names the walk
// leaves out are never opened. Called with the lock held.
void ReadAhead::Publish(Folder& folder) {
    folder.unopened = 0;
    for (std::size_t i = 0; !folder.error && i < folder.jobs.size(); ++i) {
        const NativeView name = folder.folders.At(i);
        if (HasLineBreak(name) || HasQuote(name) || (leftOut_ && leftOut_(name))) {
            folder.jobs[i].state = Job::State::kTaken;
        } else {
            ++folder.unopened;
        }
    }
    folder.withdrawn = folder.parent != nullptr && folder.parent->withdrawn;
    if (folder.unopened == 0) {
        folder.handle.Reset();
    } else if (walking_ && !folder.withdrawn) {
        Offer(folder);
    }
}

// Lets the workers take the jobs of a folder with some left to open. Called
// with the lock held.
void ReadAhead::Offer(Folder& folder) {
    if (workers_.empty() || folder.unopened == 0) {
        return;
    }
    try {
        claimable_.insert(&folder);
    } catch (const std::bad_alloc&) {
        return;  // the walk reads them itself
    }
    for (std::size_t i = 0; i < std::min(folder.unopened, awake_); ++i) {
        work_.notify_one();
    }
}

// One more subfolder of parent opened, or failed: after the last, nothing
// more is opened from its handle. Called with the lock held.
void ReadAhead::Opened(Folder& parent) {
    if (--parent.unopened == 0) {
        parent.handle.Reset();
    }
}

// Closes every folder's handle that no opening uses, keep's apart, and
// reads less far ahead from now on: the descriptors have run short. The
// walk opens them again when it needs them. Called with the lock held.
void ReadAhead::FreeHandles(const Folder& keep) {
    mostAhead_ = std::min(mostAhead_, ahead_ / 2);
    for (const std::unique_ptr<Folder>& folder : folders_) {
        if (folder.get() != &keep && !folder->reading && folder->opening == 0 &&
            folder->handle.Valid()) {
            claimable_.erase(folder.get());
            folder->handle.Reset();
        }
    }
}

// The handle of a folder whose handle was closed early, opened again from
// the nearest open folder above it (or the source folder's path) by the
// names on the way, as many in one path as any system takes, so that no
// depth limits it. Called on the walk's thread with the lock held, as it
// reads the handles of the folders above.
void ReadAhead::Reopen(Folder& folder) {
    std::vector<const Folder*> down{&folder};
    while (down.back()->parent != nullptr && !down.back()->parent->handle.Valid()) {
        down.push_back(down.back()->parent);
    }
    const Folder* above = down.back()->parent;
    FileHandle handle;
    if (above == nullptr) {
        handle = FolderReader::OpenAt(NativeHandleTraits::None(), rootPath_);
        down.pop_back();
    }
    NativeString path;
    for (auto step = down.rbegin(); step != down.rend(); ++step) {
        path.append((*step)->parent->folders.At((*step)->index));
        if (step + 1 == down.rend() ||
            path.size() + (*(step + 1))->parent->folders.At((*(step + 1))->index).size() >=
                kMostPathAtOnce) {
            handle =
                FolderReader::OpenAt(handle.Valid() ? handle.Get() : above->handle.Get(), path);
            path.clear();
        } else {
            path.push_back(kSeparator);
        }
    }
    folder.handle = std::move(handle);
}

// Waits, on the walk's thread with the lock held, until a worker is done
// with a job.
void ReadAhead::WaitWhileReading(Job& job, std::unique_lock<std::mutex>& lock) {
    if (job.state == Job::State::kReading) {
        walkWaits_ = true;
        read_.wait(lock, [&] { return job.state != Job::State::kReading; });
        walkWaits_ = false;
    }
}

// Back among the spares, with what was read ahead beneath it; jobs in flight
// beneath it are waited for. Called with the lock held, on the walk's
// thread unless nothing can be beneath it.
void ReadAhead::Drop(Folder& folder, std::unique_lock<std::mutex>& lock) {
    Withdraw(folder);
    for (Job& job : folder.jobs) {
        WaitWhileReading(job, lock);
        if (job.state == Job::State::kRead) {
            --ahead_;
            if (job.folder != nullptr) {
                aheadBytes_ -= job.folder->heldBytes;
                Drop(*job.folder, lock);
            }
            work_.notify_one();
        }
    }
    folder.files.Clear();
    folder.others.Clear();
    folder.folders.Clear();
    if (NamesCapacity(folder) > kKeepBytes) {
        folder.files = NameList();
        folder.others = NameList();
        folder.folders = NameList();
    }
    folder.error.reset();
    folder.handle.Reset();
    if (folder.jobs.capacity() * sizeof(Job) > kKeepBytes) {
        std::vector<Job>().swap(folder.jobs);
    }
    folder.jobs.clear();
    NativeString().swap(folder.path);
    folder.nextJob = 0;
    folder.heldBytes = 0;
    folder.withdrawn = false;
    spare_.push_back(&folder);
}

// No job beneath a folder being dropped is taken from now on, and none of
// those in flight offers more: else the workers could read ever deeper
// beneath it, into a loop, as fast as its dropping frees room. Called with
// the lock held.
void ReadAhead::Withdraw(Folder& folder) {
    folder.withdrawn = true;
    claimable_.erase(&folder);
    for (const Job& job : folder.jobs) {
        if (job.state == Job::State::kRead && job.folder != nullptr) {
            Withdraw(*job.folder);
        }
    }
}

bool ReadAhead::CanClaim() const {
    return !claimable_.empty() && ahead_ < mostAhead_ && aheadBytes_ < kMostAheadBytes;
}

// A worker: reads the job the walk will come to first, while there is room
// ahead of it, until the end.
void ReadAhead::Work(std::size_t number) {
    std::unique_lock<std::mutex> lock(mutex_);
    gate_.wait(lock, [&] { return stopping_ || number < awake_; });
    lock.unlock();
    FolderReader reader;
    lock.lock();
    for (;;) {
        work_.wait(lock, [&] { return stopping_ || CanClaim(); });
        if (stopping_) {
            return;
        }
        ReadNext(reader, lock);
    }
}

// Claims the job the walk will come to first and reads it. Called with the
// lock held and a folder to claim from.
void ReadAhead::ReadNext(FolderReader& reader, std::unique_lock<std::mutex>& lock) {
    Folder& parent = **claimable_.begin();
    while (parent.nextJob < parent.jobs.size() &&
           parent.jobs[parent.nextJob].state != Job::State::kOpen) {
        ++parent.nextJob;
    }
    if (parent.nextJob == parent.jobs.size()) {
        claimable_.erase(&parent);
        return;
    }
    const std::size_t index = parent.nextJob++;
    Job& job = parent.jobs[index];
    job.state = Job::State::kReading;
    ++ahead_;
    std::exception_ptr failure;
    const auto start = std::chrono::steady_clock::now();
    Folder* child = Read(parent, index, reader, failure, lock);
    slowReads_ = std::chrono::steady_clock::now() - start >= kSlowRead ? slowReads_ + 1 : 0;
    if (slowReads_ % kSlowReadsToWake == 0 && slowReads_ != 0) {
        ++awake_;
        gate_.notify_all();
    }
    if (ShortOfHandles(failure)) {
        // Left to the walk, which frees what it must; the pool holds fewer
        // from now on.
        --ahead_;
        mostAhead_ = std::min(mostAhead_, ahead_ / 2);
        job.state = Job::State::kOpen;
    } else {
        if (child != nullptr) {
            child->heldBytes = NamesCapacity(*child) + child->jobs.capacity() * sizeof(Job);
            aheadBytes_ += child->heldBytes;
        }
        job = Job{Job::State::kRead, child, failure};
        Opened(parent);
    }
    if (walkWaits_) {
        read_.notify_one();
    }
}
