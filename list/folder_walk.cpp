#include "folder_walk.h"

#include <algorithm>
#include <cassert>
#include <chrono>

namespace {

// Threads when not limited: as many listings in flight as a share answers
// at once. On the benchmark's share (2,000 folders, 1 ms per opening and per
// listing; the walk alone 4.9 s) 1 thread lists in 3.1 s, 4 in 1.1 s, 8 in
// 0.61 s, 16 in 0.50 s, 32 in 0.49 s. They start with the walk's first
// subfolder, so that a tree of one folder starts none (the wide tree: 16
// starts and joins a click, 1.08 of the walk alone, then 0.99).
constexpr std::size_t kMostThreads = 16;

// An opening and listing that takes longer is a slow drive's.
constexpr auto kSlowOpening = std::chrono::microseconds(200);

// Folders read ahead of the walk and not yet reached, and the memory of their
// names: enough to keep 16 threads busy (the share: 0.80 s with 64, 0.50 s
// with 256, 0.47 s with 1,024), little enough for any tree.
constexpr std::size_t kMostAhead = 256;
constexpr std::size_t kMostAheadBytes = 4 * 1024 * 1024;

// The walk's budget: at most this many descriptors, the list's and the
// program's own (the list and its copy, one to open a folder again in steps)
// kept apart.
constexpr std::size_t kMostHandles = 1024;
constexpr std::size_t kKeptForTheList = 4;

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

std::size_t Budget() {
    const std::size_t left = FolderReader::HandlesLeft(kMostHandles + kKeptForTheList);
    return left - std::min(left, kKeptForTheList);
}

}  // namespace

// A folder of the walk: read or to be read (by a thread while submitted),
// then walked, then spare. Holds one descriptor of the budget while its
// handle is open or it is submitted.
struct FolderWalk::Node : ReadJob {
    enum class State : unsigned char { kNew, kSubmitted, kRead };
    struct Child {
        Node* node = nullptr;  // while submitted or read, not yet taken by the walk
        bool enter = false;
    };
    Node* up = nullptr;  // index is its place among up's subfolders
    std::size_t depth = 0;
    std::vector<Child> children;  // one per subfolder, once read
    std::size_t nextSubmit = 0;   // none before it is left to submit
    std::size_t nextVisit = 0;    // the walk's next subfolder, while it walks this one
    std::size_t unopened = 0;     // subfolders still to open from the handle
    std::size_t pins = 0;         // openings from the handle under way
    std::size_t heldBytes = 0;    // counted in aheadBytes_
    State state = State::kNew;
    bool ahead = false;  // counted in ahead_
};

bool FolderWalk::WalkOrder::operator()(const Node* a, const Node* b) const {
    const Node* x = a;
    const Node* y = b;
    while (x->depth > y->depth) {
        x = x->up;
    }
    while (y->depth > x->depth) {
        y = y->up;
    }
    if (x == y) {
        return a->depth > b->depth;  // the one beneath the other
    }
    while (x->up != y->up) {
        x = x->up;
        y = y->up;
    }
    return x->index < y->index;
}

FolderWalk::FolderWalk(NativeView root, std::size_t threads)
    : budget_(Budget()), threads_(std::min(threads, kMostThreads)) {
    root_ = NewNode(nullptr, 0);
    root_->path.assign(root);
    if (!budget_.Take()) {
        throw FolderReader::NoHandleLeftError().At(root);
    }
    try {
        reader_.Open(root, root_->listing);
    } catch (...) {
        root_->listing.handle.Reset();
        budget_.Give();
        throw;
    }
    Settle(*root_);
}

FolderWalk::~FolderWalk() = default;

void FolderWalk::Run(Visitor& visitor) {
    visitor_ = &visitor;
    finished_.reserve(kMostAhead);
    Publish(*root_);
    Enter(*root_);
    while (!chain_.empty()) {
        Node& level = *chain_.back();
        if (level.nextVisit == level.children.size()) {
            chain_.pop_back();
            Release(level);
            continue;
        }
        const std::size_t index = level.nextVisit++;
        const NativeView name = level.listing.folders.At(index);
        path_.assign(PathOf(level)).append(1, kSeparator).append(name);
        const FolderVerdict verdict = visitor.Judge(name, path_);
        assert(verdict.enter == level.children[index].enter);
        if (!verdict.enter) {
            if (verdict.problem) {
                visitor.Report(*verdict.problem, path_, {});
            }
            continue;
        }
        // The walk's next folder is its own to read, unless a thread has it
        // already: a thread's wake costs more than a local folder's reading
        // (a chain of 600 folders: 1.33 of the walk alone, then 1.0).
        level.nextSubmit = std::max(level.nextSubmit, index + 1);
        Collect(false);
        Submit();
        Node& node = Take(level, index);
        if (node.failure) {
            try {
                std::rethrow_exception(node.failure);
            } catch (const Error& error) {
                visitor.Report(ProblemKind::kFolderIncomplete, PathOf(node), error.Description());
            }
            Release(node);
        } else if (LoopsBack(node)) {
            visitor.Report(ProblemKind::kFolderLoop, PathOf(node), {});
            Release(node);
        } else {
            Enter(node);
        }
    }
    // Every folder submitted was taken, and every descriptor given back.
    assert(ahead_ == 0 && aheadBytes_ == 0 && readAhead_.Pending() == 0);
    assert(budget_.Left() == budget_.Size());
}

FolderWalk::Node* FolderWalk::NewNode(Node* up, std::size_t index) {
    if (spare_.empty()) {
        nodes_.push_back(std::make_unique<Node>());
        // So that a node released always finds room among the spares.
        spare_.reserve(nodes_.size());
        spare_.push_back(nodes_.back().get());
    }
    Node* node = spare_.back();
    spare_.pop_back();
    node->up = up;
    node->index = index;
    node->depth = up != nullptr ? up->depth + 1 : 0;
    if (up != nullptr) {
        node->from = &up->listing;
        // Only for a reader that opens by path, and only until it is read.
        if (FolderReader::OpensByPath()) {
            node->path = PathOf(*node);
        }
    }
    return node;
}

// A folder's full path, from the source folder's and the names above it:
// each folder keeping its own would hold, on a deep tree, the square of its
// depth in memory (2,000 levels: 46 MiB, then 6 MiB). Made from the last
// one made, up to the folder both are in and down again: the walk asks for
// its folders in its order, most often the last one or one beside or beneath
// it (the same tree: 143 ms of CPU when made whole each time, 50 ms then).
const NativeString& FolderWalk::PathOf(const Node& node) {
    const auto name = [](const Node& at) { return at.up->listing.folders.At(at.index); };
    const auto up = [&](const Node*& at) {
        built_.resize(built_.size() - 1 - name(*at).size());
        at = at->up;
    };
    if (builtFor_ == nullptr) {
        built_.assign(root_->path);
        builtFor_ = root_;
    }
    const Node* from = builtFor_;
    const Node* to = &node;
    steps_.clear();
    while (to->depth > from->depth) {
        steps_.push_back(to);
        to = to->up;
    }
    while (from->depth > to->depth) {
        up(from);
    }
    while (from != to) {
        up(from);
        steps_.push_back(to);
        to = to->up;
    }
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
        built_.append(1, kSeparator).append(name(**step));
    }
    builtFor_ = &node;
    return built_;
}

// Back among the spares, its names' room kept within bounds.
void FolderWalk::Release(Node& node) {
    assert(node.pins == 0 && node.heldBytes == 0 && !node.ahead);
    if (&node == builtFor_) {
        // Its names are about to go; those above it stay until it has gone.
        builtFor_ = nullptr;
    }
    assert(std::none_of(node.children.begin(), node.children.end(),
                        [](const Node::Child& child) { return child.node != nullptr; }));
    toSubmit_.erase(&node);
    Close(node);
    FolderListing& listing = node.listing;
    listing.files.Clear();
    listing.others.Clear();
    listing.folders.Clear();
    if (NamesCapacity(listing) > kKeepBytes) {
        listing.files = NameList();
        listing.others = NameList();
        listing.folders = NameList();
    }
    listing.error.reset();
    node.failure = nullptr;
    node.children.clear();
    node.nextSubmit = node.nextVisit = node.unopened = 0;
    node.state = Node::State::kNew;
    spare_.push_back(&node);
}

void FolderWalk::Enter(Node& node) {
    visitor_->Visit(node.listing, PathOf(node));
    // Subfolders left out are reported as the walk comes to them.
    if (!node.listing.error && !node.children.empty()) {
        chain_.push_back(&node);
    } else {
        Release(node);
    }
}

// The subfolder index of up, read: by a thread, or here when none has begun
// it. The walk waits only for a folder a thread is reading.
FolderWalk::Node& FolderWalk::Take(Node& up, std::size_t index) {
    up.nextSubmit = std::max(up.nextSubmit, index + 1);  // those before are done
    Node* node = up.children[index].node;
    if (node == nullptr) {
        node = NewNode(&up, index);
    } else if (node->state == Node::State::kSubmitted && readAhead_.Withdraw(*node)) {
        // A wake of a thread costs more than a local folder's reading.
        node->state = Node::State::kNew;
        --up.pins;
        budget_.Give();
    }
    up.children[index].node = nullptr;
    // While it waits, what the threads read is judged and their next
    // folders are submitted (the share: 0.80 s, not 0.88 s, with 64 ahead);
    // on a quick drive it reads the first folder queued itself rather than
    // sleep, as a sleep and a wake cost more than a local folder's reading.
    while (node->state == Node::State::kSubmitted) {
        if (allowed_ == 1) {
            if (ReadJob* other = readAhead_.WithdrawFirst()) {
                Node& ahead = static_cast<Node&>(*other);
                ahead.state = Node::State::kNew;
                --ahead.up->pins;
                budget_.Give();
                ReadHere(ahead);
                continue;
            }
        }
        Collect(true);
        Submit();
    }
    if (node->state == Node::State::kNew) {
        ReadHere(*node);
    }
    if (node->ahead) {
        --ahead_;
        aheadBytes_ -= node->heldBytes;
        node->heldBytes = 0;
        node->ahead = false;
    }
    return *node;
}

// On the walk's thread, within the budget: what holds the descriptors is
// closed or waited for, and an opening the system still refuses for want
// of one is tried again after each that could be freed.
void FolderWalk::ReadHere(Node& node) {
    Node& up = *node.up;
    ++up.pins;  // so that no room is made by closing it
    for (;;) {
        try {
            if (!up.listing.handle.Valid() && !FolderReader::OpensByPath()) {
                Reopen(up);
            }
            Acquire();
        } catch (...) {
            node.failure = std::current_exception();
            break;
        }
        if (FolderReader::OpensByPath() && node.path.empty()) {
            node.path = PathOf(node);  // given up since a thread tried it
        }
        const auto start = std::chrono::steady_clock::now();
        ReadAhead::Do(reader_, node);
        Pace(std::chrono::steady_clock::now() - start);
        Settle(node);
        if (!ShortOfHandles(node.failure) || !FreeOne()) {
            break;
        }
        node.failure = nullptr;
        node.listing = FolderListing();
    }
    --up.pins;
    node.state = Node::State::kRead;
    Opened(up);
    if (!node.failure) {
        Publish(node);
    }
}

// After an opening, with its descriptor taken: kept while the folder has
// subfolders to open from it, else given back.
void FolderWalk::Settle(Node& node) {
    if (&node != root_) {
        node.path = NativeString();
    }
    if (node.failure) {
        node.listing.handle.Reset();
    }
    if (!node.listing.handle.Valid()) {
        budget_.Give();
    }
    node.state = Node::State::kRead;
}

// The subfolders the walk will enter, judged once read; no folder beneath a
// link back up the tree is ever opened.
void FolderWalk::Publish(Node& node) {
    const NameList& folders = node.listing.folders;
    node.children.assign(folders.Size(), Node::Child{});
    node.unopened = 0;
    if (!node.listing.error && !LoopsBack(node)) {
        const NativeString& base = PathOf(node);
        for (std::size_t i = 0; i < folders.Size(); ++i) {
            path_.assign(base).append(1, kSeparator).append(folders.At(i));
            node.children[i].enter = visitor_->Judge(folders.At(i), path_).enter;
            node.unopened += node.children[i].enter ? 1 : 0;
        }
    }
    if (node.unopened == 0) {
        Close(node);
    } else if (threads_ > 0) {
        toSubmit_.insert(&node);
    }
}

// One subfolder of up opened for good, or failed: after the last, nothing
// more is opened from its handle.
void FolderWalk::Opened(Node& up) {
    assert(up.unopened > 0);
    if (--up.unopened == 0) {
        Close(up);
    }
}

void FolderWalk::Close(Node& node) {
    if (node.listing.handle.Valid()) {
        assert(node.pins == 0 && node.state == Node::State::kRead);
        node.listing.handle.Reset();
        budget_.Give();
    }
}

void FolderWalk::Acquire() {
    while (!budget_.Take()) {
        if (!FreeOne()) {
            throw FolderReader::NoHandleLeftError();
        }
    }
}

// Closes an open folder that no opening uses: the walk's own nearest the
// root first, as it needs them last, else one read ahead; or else waits for
// a thread's opening to end. False when nothing holds a descriptor that
// could be freed.
bool FolderWalk::FreeOne() {
    const auto unused = [](const Node* node) {
        return node->state == Node::State::kRead && node->pins == 0 && node->listing.handle.Valid();
    };
    const auto walked = std::find_if(chain_.begin(), chain_.end(), unused);
    if (walked != chain_.end()) {
        Close(**walked);
        return true;
    }
    for (const std::unique_ptr<Node>& node : nodes_) {
        if (unused(node.get())) {
            Close(*node);
            return true;
        }
    }
    if (readAhead_.Pending() > 0) {
        Collect(true);
        return true;
    }
    return false;
}

// The handle of a folder closed early, opened again by path from the
// nearest open folder above it, or from the source folder's full path.
void FolderWalk::Reopen(Node& node) {
    Node* above = node.up;
    while (above != nullptr && !above->listing.handle.Valid()) {
        above = above->up;
    }
    const NativeString full = PathOf(node);
    NativeView path(full);
    NativeHandle from = NativeHandleTraits::None();
    if (above != nullptr) {
        path.remove_prefix(PathOf(*above).size() + 1);
        from = above->listing.handle.Get();
        ++above->pins;
    }
    bool taken = false;
    std::exception_ptr failure;
    try {
        Acquire();
        taken = true;
        node.listing.handle = FolderReader::Reopen(from, path, node.listing.id);
    } catch (...) {
        failure = std::current_exception();
    }
    if (above != nullptr) {
        --above->pins;
    }
    if (failure) {
        if (taken) {
            budget_.Give();
        }
        std::rethrow_exception(failure);
    }
    if (threads_ > 0) {
        toSubmit_.insert(&node);
    }
}

void FolderWalk::Collect(bool wait) {
    if (readAhead_.Pending() == 0) {
        return;
    }
    readAhead_.TakeFinished(finished_, wait);
    for (ReadJob* job : finished_) {
        Finish(static_cast<Node&>(*job));
    }
}

// A folder a thread has read. One it found no descriptor for (a limit
// lowered meanwhile) is left for the walk to read when it gets there.
void FolderWalk::Finish(Node& node) {
    Node& up = *node.up;
    assert(node.state == Node::State::kSubmitted && up.pins > 0);
    --up.pins;
    Settle(node);
    if (ShortOfHandles(node.failure)) {
        node.failure = nullptr;
        node.listing = FolderListing();
        node.state = Node::State::kNew;
        return;
    }
    Opened(up);
    if (!node.failure) {
        Publish(node);
        node.heldBytes =
            NamesCapacity(node.listing) + node.children.capacity() * sizeof(Node::Child);
        aheadBytes_ += node.heldBytes;
    }
}

// The walk's next folders, in its order, to the threads, while there is
// room ahead and a descriptor for each. A folder closed to stay within the
// budget is left to the walk. Each is chosen as late as it can be, a few
// queued for each thread at work, so that folders far ahead, known first,
// never fill the room ahead while the walk reads its near ones itself (the
// large tree: 1.0 of the walk alone with all 256 queued at once, 0.80 with 2
// for each thread, 0.73 with 8).
void FolderWalk::Submit() {
    if (threads_ == 0 || toSubmit_.empty()) {
        return;
    }
    std::size_t queued = readAhead_.Threads() > 0 ? readAhead_.Queued() : 0;
    while (queued < 8 * std::min(allowed_, threads_) && !toSubmit_.empty() && ahead_ < kMostAhead &&
           aheadBytes_ < kMostAheadBytes) {
        Node& folder = **toSubmit_.begin();
        std::size_t& next = folder.nextSubmit;
        while (next < folder.children.size() &&
               (!folder.children[next].enter || folder.children[next].node != nullptr)) {
            ++next;
        }
        if (next == folder.children.size() ||
            (!folder.listing.handle.Valid() && !FolderReader::OpensByPath())) {
            toSubmit_.erase(toSubmit_.begin());
            continue;
        }
        if (readAhead_.Threads() == 0 && readAhead_.Start(threads_, kMostAhead) == 0) {
            threads_ = 0;
            return;
        }
        if (!budget_.Take()) {
            return;
        }
        Node* node = NewNode(&folder, next);
        folder.children[next++].node = node;
        ++folder.pins;
        ++ahead_;
        node->ahead = true;
        node->state = Node::State::kSubmitted;
        readAhead_.Submit(*node, [](const ReadJob* a, const ReadJob* b) {
            return WalkOrder()(static_cast<const Node*>(a), static_cast<const Node*>(b));
        });
        ++queued;
    }
}

// One thread reads ahead while the walk's own openings are quick, as on a
// local drive, where more only take the cores the walk needs and wake for
// each folder; all of them while they are slow, as on a share. Judged anew
// at each opening of the walk's own, so that no spell of either lasts. (The
// large tree, on 2 loaded cores: the walk alone 229 ms of CPU; 16 threads at
// work 335 ms and 6,200 context switches, one 245 ms and 500.)
void FolderWalk::Pace(std::chrono::steady_clock::duration opening) {
    const std::size_t wanted = opening >= kSlowOpening ? threads_ : 1;
    if (wanted != allowed_ && readAhead_.Threads() > 0) {
        allowed_ = wanted;
        readAhead_.Allow(wanted);
    }
}

bool FolderWalk::LoopsBack(const Node& node) {
    for (const Node* above = node.up; above != nullptr; above = above->up) {
        if (above->listing.id == node.listing.id) {
            return true;
        }
    }
    return false;
}
