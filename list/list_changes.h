#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "click_summary.h"
#include "native_text.h"

// How a click's listing differs from an earlier list: the files it adds and
// removes, by image path, as the image builder's reader takes the earlier
// list's lines. Image paths are compared as the list's bytes, by a 64-bit
// hash each, so that a click keeps no more than eight bytes a file.
class ListChanges {
  public:
    ListChanges() = default;
    ~ListChanges() { Abandon(); }
    ListChanges(const ListChanges&) = delete;
    ListChanges& operator=(const ListChanges&) = delete;

    // Starts reading the list at earlier, on a thread of its own while the
    // walk runs (at Finish when no thread can be started). An empty path,
    // or nothing there, compares with nothing. lastListing: the list at
    // earlier holds the listing of the click before, which was kept: it is
    // compared with as kept, unread.
    void Start(NativeString earlier, bool lastListing = false);

    // One file of the click's listing: its image path, as the list line
    // holds it unquoted. Does nothing unless started.
    void Listed(NativeView imagePath) {
        if (started_) {
            Add(imagePath);
        }
    }

    // The counts; nullopt when there was no earlier list, or it could not be
    // read (what changed is then unknown, but the click stands).
    std::optional<ListChangeCounts> Finish();

    // Stops the reading, if any, and forgets the click (not the listing
    // kept from the click before).
    void Abandon();

  private:
    void Add(NativeView imagePath);
    void ReadEarlier();

    bool started_ = false;
    bool lost_ = false;     // no memory for a file's key: what changed is unknown
    bool useKept_ = false;  // earlier_ is kept_, to be sorted
    NativeString earlierPath_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    // The reader's until it is joined: sorted, each once; empty with
    // earlierKnown_ false when there is nothing to compare with.
    std::vector<std::uint64_t> earlier_;
    bool earlierKnown_ = false;
    std::vector<std::uint64_t> listed_;
    std::string narrow_;
    // The last finished click's listing, in the walk's order.
    std::vector<std::uint64_t> kept_;
    bool keptKnown_ = false;
};
