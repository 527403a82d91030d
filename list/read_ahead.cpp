#include "read_ahead.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <exception>
#include <limits>

#include "obey_format.h"

namespace {

// Folders that may wait read ahead of the walk, and bytes of their names:
// enough to keep a slow drive busy, little enough for any tree.
constexpr std::size_t kMostAhead = 64;
constexpr std::size_t kMostAheadBytes = 4 * 1024 * 1024;

// Threads for one walk when not limited: as many listings in flight as a
// share answers at once.
constexpr std::size_t kMostThreads = 16;

// Reads that each take this long wait for the drive rather than the
// processor: after a few in a row, one more thread.
constexpr auto kSlowRead = std::chrono::milliseconds(1);
constexpr int kSlowReadsToGrow = 4;

// The levels of a folder's place in the walk's order that are kept; deeper
// folders with the same first levels are told apart by when they were read.
constexpr std::size_t kPlaceLevels = 16;
constexpr std::uint32_t kEndOfPlace = std::numeric_limits<std::uint32_t>::max();

// How far up a folder read ahead is looked for among its own ancestors.
constexpr std::size_t kLoopLookUp = 64;

// A folder done keeps at most this much room for names, for reuse: a few
// wide folders must not leave every spare folder wide.
constexpr std::size_t kKeepBytes = 256 * 1024;

// The memory a listing's names hold, used or kept for reuse.
std::size_t NamesCapacity(const FolderListing& listing) {
    return listing.files.Capacity() + listing.others.Capacity() + listing.folders.Capacity();
}

}  // namespace

struct ReadAhead::Subfolder {
    enum class State : unsigned char { kUnclaimed, kReading, kRead, kTaken };
    State state = State::kUnclaimed;
    Folder* folder = nullptr;  // when read: the folder, or none and the failure
    std::exception_ptr failure;
};

struct ReadAhead::Folder : FolderListing {
    // The index of each folder on the way from the root, then kEndOfPlace:
    // compared in turn, they put the folders in the order in which the walk
    // comes to their next subfolder, a folder's read subfolders before it.
    std::array<std::uint32_t, kPlaceLevels> place;
    std::size_t depth = 0;
    std::uint64_t serial = 0;
    Folder* parent = nullptr;           // lives at least as long
    std::vector<Subfolder> subfolders;  // when its subfolders may be read ahead
    std::size_t nextClaim = 0;          // its first subfolder no one has claimed
    std::size_t opening = 0;            // openings of its subfolders under way
    std::size_t heldBytes = 0;          // counted in aheadBytes_ while read ahead
    NativeString path;                  // while its subfolders are opened by path
    bool dropping = false;
};

bool ReadAhead::ClaimOrder::operator()(const Folder* a, const Folder* b) const {
    if (a->place != b->place) {
        return a->place < b->place;
    }
    return a->serial > b->serial;
}

ReadAhead::ReadAhead(std::size_t threads) : maxThreads_(std::min(threads, kMostThreads)) {}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
    for (NativeHandle handle : released_) {
        NativeHandleTraits::Close(handle);
    }
}

FolderListing* ReadAhead::OpenRoot(NativeView path) {
    std::unique_lock<std::mutex> lock(mutex_);
    Folder* root = Take(nullptr, 0);
    lock.unlock();
    try {
        walkReader_.Open(path, *root);
        if (FolderReader::OpensByPath()) {
            root->path.assign(path);
        }
    } catch (...) {
        lock.lock();
        Drop(*root, lock);
        throw;
    }
    lock.lock();
    Publish(*root);
    CloseReleased(lock);
    return root;
}

FolderListing* ReadAhead::OpenSubFolder(FolderListing& parentListing, std::size_t index) {
    Folder& parent = static_cast<Folder&>(parentListing);
    std::unique_lock<std::mutex> lock(mutex_);
    Subfolder* subfolder = parent.subfolders.empty() ? nullptr : &parent.subfolders[index];
    Folder* child = nullptr;
    std::exception_ptr failure;
    if (subfolder == nullptr || subfolder->state == Subfolder::State::kUnclaimed) {
        // Not come to yet: the walk reads it itself.
        if (parent.nextClaim <= index) {
            parent.nextClaim = index + 1;
            if (parent.nextClaim >= parent.subfolders.size()) {
                Unclaimable(parent);
            }
        }
        child = ReadClaimed(parent, index, walkReader_, failure, lock);
    } else {
        WaitWhileReading(*subfolder, lock);
        failure = subfolder->failure;
        child = subfolder->folder;
        LeaveWindow(subfolder->folder);
    }
    if (subfolder != nullptr) {
        *subfolder = Subfolder{Subfolder::State::kTaken, nullptr, nullptr};
    }
    CloseReleased(lock);
    lock.unlock();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return child;
}

void ReadAhead::Done(FolderListing* folder) {
    std::unique_lock<std::mutex> lock(mutex_);
    Drop(static_cast<Folder&>(*folder), lock);
    CloseReleased(lock);
}

// A folder to read into, placed as the subfolder index of parent (the root
// when none). Called with the lock held.
ReadAhead::Folder* ReadAhead::Take(Folder* parent, std::size_t index) {
    Folder* folder;
    if (spare_.empty()) {
        folders_.push_back(std::make_unique<Folder>());
        folder = folders_.back().get();
        // So that a folder done always finds room among the spares.
        if (spare_.capacity() < folders_.size()) {
            spare_.reserve(2 * folders_.size());
        }
    } else {
        folder = spare_.back();
        spare_.pop_back();
    }
    folder->place.fill(kEndOfPlace);
    folder->depth = 0;
    folder->parent = parent;
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

// Reads a subfolder claimed by the caller, without the lock, and offers its
// own subfolders. What its reading throws is kept in failure for the walk,
// and none is returned. Reads that wait for the drive start more threads.
// Called with the lock held.
ReadAhead::Folder* ReadAhead::ReadClaimed(Folder& parent, std::size_t index, FolderReader& reader,
                                          std::exception_ptr& failure,
                                          std::unique_lock<std::mutex>& lock) {
    ++parent.opening;
    Folder* child = nullptr;
    try {
        child = Take(&parent, index);
        lock.unlock();
        const auto start = std::chrono::steady_clock::now();
        try {
            if (FolderReader::OpensByPath()) {
                child->path.assign(parent.path);
                child->path.push_back(kSeparator);
                child->path.append(parent.folders.At(index));
            }
            reader.OpenSubFolder(parent, index, child->path, *child);
        } catch (...) {
            failure = std::current_exception();
        }
        const bool slow = std::chrono::steady_clock::now() - start >= kSlowRead;
        lock.lock();
        slowReads_ = slow ? slowReads_ + 1 : 0;
        if (slowReads_ >= kSlowReadsToGrow && threads_.size() < maxThreads_) {
            slowReads_ = 0;
            StartThread();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    --parent.opening;
    Release(parent);
    if (child != nullptr && failure) {
        Drop(*child, lock);
        child = nullptr;
    } else if (child != nullptr) {
        child->dropping = parent.dropping;
        Publish(*child);
    }
    return child;
}

// Offers the subfolders of a folder just read to the pool, unless nothing
// beneath it will be walked. Called with the lock held.
void ReadAhead::Publish(Folder& folder) {
    if (maxThreads_ == 0 || folder.dropping || folder.error || folder.folders.Empty() ||
        RepeatsAncestor(folder)) {
        Release(folder);
        return;
    }
    try {
        folder.subfolders.assign(folder.folders.Size(), Subfolder{});
        Claimable(folder);
        // As many workers as there are subfolders to claim, not all of them.
        for (std::size_t i = 0; HasWork() && i < std::min(idle_, folder.subfolders.size()); ++i) {
            work_.notify_one();
        }
        if (threads_.empty()) {
            // The walk reads too, while it would wait: one core is its own.
            const std::size_t cores = std::thread::hardware_concurrency();
            const std::size_t workers = cores > 1 ? cores - 1 : 1;
            while (threads_.size() < std::min(maxThreads_, workers)) {
                StartThread();
            }
        }
    } catch (const std::bad_alloc&) {
        // Then the walk reads them itself.
        folder.subfolders.clear();
        Unclaimable(folder);
    }
}

// Into the set of folders with subfolders to claim, and out of it, reusing
// the set's nodes: a walk reaches the heap for them only while the set grows.
void ReadAhead::Claimable(Folder& folder) {
    if (spareNodes_.empty()) {
        claimable_.insert(&folder);
    } else {
        spareNodes_.back().value() = &folder;
        claimable_.insert(std::move(spareNodes_.back()));
        spareNodes_.pop_back();
    }
}

void ReadAhead::Unclaimable(Folder& folder) noexcept {
    auto node = claimable_.extract(&folder);
    if (!node.empty()) {
        try {
            spareNodes_.push_back(std::move(node));
        } catch (const std::bad_alloc&) {
            // Freed with the handle, then.
        }
    }
}

// A folder that is one of the folders above it is a loop, which the walk
// refuses: reading beneath it would only read the same folders again. Far
// up, the walk alone finds it. Called with the lock held.
bool ReadAhead::RepeatsAncestor(const Folder& folder) const {
    std::size_t steps = 0;
    for (const Folder* above = folder.parent; above != nullptr && steps < kLoopLookUp;
         above = above->parent, ++steps) {
        if (above->id == folder.id) {
            return true;
        }
    }
    return false;
}

// Waits, on the walk's thread with the lock held, until a subfolder claimed
// by a worker is read.
void ReadAhead::WaitWhileReading(Subfolder& subfolder, std::unique_lock<std::mutex>& lock) {
    // While reads are quick the walk reads ahead itself rather than sleep:
    // a sleep and a wake cost more than a folder's reading.
    while (subfolder.state == Subfolder::State::kReading && slowReads_ == 0 && HasWork()) {
        ReadNext(walkReader_, lock);
    }
    if (subfolder.state == Subfolder::State::kReading) {
        awaited_ = &subfolder;
        read_.wait(lock, [&] { return subfolder.state != Subfolder::State::kReading; });
        awaited_ = nullptr;
    }
}

// A subfolder read ahead is taken or dropped. Workers stopped by a full
// window go on when it is half empty, each with many folders to read: a
// wake for every folder would cost more than its reading.
void ReadAhead::LeaveWindow(Folder* folder) {
    const bool full = !WindowHasRoom();
    --ahead_;
    if (folder != nullptr) {
        aheadBytes_ -= folder->heldBytes;
        folder->heldBytes = 0;
    }
    if (full) {
        windowRefills_ = true;
    }
    if (windowRefills_ && ahead_ <= kMostAhead / 2 && aheadBytes_ <= kMostAheadBytes / 2) {
        windowRefills_ = false;
        work_.notify_all();
    }
}

bool ReadAhead::WindowHasRoom() const {
    return ahead_ < kMostAhead && aheadBytes_ < kMostAheadBytes;
}

// Lets a folder's handle and path go once no subfolder of it is left to
// open. Called with the lock held.
void ReadAhead::Release(Folder& folder) {
    if (folder.opening == 0 && folder.nextClaim >= folder.folders.Size()) {
        if (folder.handle.Valid()) {
            try {
                released_.push_back(folder.handle.Get());
                folder.handle.Release();
            } catch (const std::bad_alloc&) {
                folder.handle.Reset();
            }
        }
        NativeString().swap(folder.path);
    }
}

// Closes the handles let go, without the lock: a close is a system call,
// and the other threads need the lock meanwhile.
void ReadAhead::CloseReleased(std::unique_lock<std::mutex>& lock) {
    while (!released_.empty()) {
        std::array<NativeHandle, 16> batch;
        std::size_t count = 0;
        while (count < batch.size() && !released_.empty()) {
            batch[count++] = released_.back();
            released_.pop_back();
        }
        lock.unlock();
        for (std::size_t i = 0; i < count; ++i) {
            NativeHandleTraits::Close(batch[i]);
        }
        lock.lock();
    }
}

// Back among the spares, with what was read ahead beneath it; folders in
// flight beneath it are waited for. Called with the lock held, on the walk's
// thread unless nothing can be beneath it.
void ReadAhead::Drop(Folder& folder, std::unique_lock<std::mutex>& lock) {
    folder.dropping = true;
    Unclaimable(folder);
    for (Subfolder& subfolder : folder.subfolders) {
        WaitWhileReading(subfolder, lock);
        if (subfolder.state == Subfolder::State::kRead) {
            LeaveWindow(subfolder.folder);
            if (subfolder.folder != nullptr) {
                Drop(*subfolder.folder, lock);
            }
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
    if (folder.subfolders.capacity() * sizeof(Subfolder) > kKeepBytes) {
        std::vector<Subfolder>().swap(folder.subfolders);
    }
    folder.subfolders.clear();
    NativeString().swap(folder.path);
    folder.nextClaim = 0;
    folder.opening = 0;
    folder.heldBytes = 0;
    folder.dropping = false;
    spare_.push_back(&folder);
}

bool ReadAhead::HasWork() const {
    return !claimable_.empty() && WindowHasRoom() && !windowRefills_;
}

// A worker: reads ahead while there is room and work, until the end.
void ReadAhead::Work() {
    FolderReader reader;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        work_.wait(lock, [&] { return stopping_ || HasWork(); });
        --idle_;
        if (stopping_) {
            return;
        }
        ReadNext(reader, lock);
    }
}

// Claims the subfolder the walk will come to first among those unclaimed,
// reads it and offers its own subfolders in turn. Called with the lock held
// and work to do.
void ReadAhead::ReadNext(FolderReader& reader, std::unique_lock<std::mutex>& lock) {
    Folder& parent = **claimable_.begin();
    const std::size_t index = parent.nextClaim++;
    if (parent.nextClaim == parent.subfolders.size()) {
        Unclaimable(parent);
    }
    if (HasLineBreak(parent.folders.At(index))) {
        // The walk reports it and opens nothing.
        Release(parent);
        return;
    }
    Subfolder& subfolder = parent.subfolders[index];
    subfolder.state = Subfolder::State::kReading;
    ++ahead_;
    std::exception_ptr failure;
    Folder* child = ReadClaimed(parent, index, reader, failure, lock);
    if (child != nullptr) {
        child->heldBytes = NamesCapacity(*child) + child->subfolders.capacity() * sizeof(Subfolder);
        aheadBytes_ += child->heldBytes;
    }
    subfolder = Subfolder{Subfolder::State::kRead, child, failure};
    if (awaited_ == &subfolder) {
        read_.notify_one();
    }
    CloseReleased(lock);
}

// Called with the lock held; a thread that cannot be made is done without.
void ReadAhead::StartThread() {
    try {
        threads_.emplace_back([this] { Work(); });
    } catch (const std::exception&) {
    }
}
