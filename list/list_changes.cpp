#include "list_changes.h"

#include <algorithm>
#include <functional>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

#include "error.h"
#include "obey_reader.h"
#include "program_files.h"

namespace {

std::uint64_t Key(std::string_view bytes) {
    return std::hash<std::string_view>{}(bytes);
}

// Where a name's characters are the list's bytes (POSIX), they are hashed
// where they lie, without a copy.
std::uint64_t Key(NativeView path, std::string& narrow) {
    if constexpr (sizeof(NativeChar) == 1) {
        return Key(std::string_view(reinterpret_cast<const char*>(path.data()), path.size()));
    } else {
        narrow.clear();
        AppendNarrow(path, narrow);
        return Key(narrow);
    }
}

bool ListThere(NativeView path) {
    try {
        return ExistingFile::Open(path).has_value();
    } catch (const Error&) {
        return false;  // what changed is unknown all the same
    }
}

void SortUnique(std::vector<std::uint64_t>& keys) {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

}  // namespace

void ListChanges::Start(NativeString earlier, bool lastListing) {
    Abandon();
    if (earlier.empty()) {
        return;
    }
    // The listing just written: no reading, no parsing, only its sorting,
    // which the thread does.
    useKept_ = lastListing && keptKnown_;
    // With no earlier list, nothing is kept of the click either, so that a
    // click's memory does not grow with its tree (a later click reads this
    // one's list back instead).
    if (!useKept_ && !ListThere(earlier)) {
        return;
    }
    earlierPath_ = std::move(earlier);
    started_ = true;
    if (useKept_) {
        earlier_ = std::move(kept_);
        keptKnown_ = false;
    }
    try {
        reader_ = std::thread(&ListChanges::ReadEarlier, this);
    } catch (const std::system_error&) {
        // Read at Finish instead, on the click's thread.
    }
}

// Memory that runs out here costs the counts, not the click.
void ListChanges::Add(NativeView imagePath) {
    try {
        listed_.push_back(Key(imagePath, narrow_));
    } catch (const std::bad_alloc&) {
        lost_ = true;
        started_ = false;
    }
}

// A file line as the builder cuts it: "file", the host path, the image path.
// Any failure leaves the earlier list unknown, never the click failed.
void ListChanges::ReadEarlier() {
    if (useKept_) {
        SortUnique(earlier_);
        earlierKnown_ = true;
        return;
    }
    try {
        std::optional<ExistingFile> file = ExistingFile::Open(earlierPath_);
        if (!file) {
            return;
        }
        ObeyReader reader([this](const ObeyLine& line) {
            if (line.wordCount == 3 && IsKeyword(line.words[0], "file")) {
                earlier_.push_back(Key(line.words[2]));
            }
        });
        std::string buffer(64 * 1024, '\0');
        while (const std::size_t got = file->Read(buffer.data(), buffer.size())) {
            if (stop_) {
                return;
            }
            reader.Feed(std::string_view(buffer.data(), got));
        }
        reader.Finish();
        SortUnique(earlier_);
        earlierKnown_ = true;
    } catch (const Error&) {
        earlier_.clear();
    } catch (const std::bad_alloc&) {
        earlier_.clear();
    }
}

std::optional<ListChangeCounts> ListChanges::Finish() {
    if (!started_) {
        Abandon();
        return std::nullopt;
    }
    if (reader_.joinable()) {
        reader_.join();
    } else if (!earlierKnown_) {
        ReadEarlier();
    }
    std::optional<ListChangeCounts> counts;
    if (earlierKnown_) {
        SortUnique(listed_);
        ListChangeCounts found;
        // Both sorted: one pass counts what each holds that the other lacks.
        auto e = earlier_.begin();
        auto l = listed_.begin();
        while (e != earlier_.end() || l != listed_.end()) {
            if (l == listed_.end() || (e != earlier_.end() && *e < *l)) {
                ++found.removed;
                ++e;
            } else if (e == earlier_.end() || *l < *e) {
                ++found.added;
                ++l;
            } else {
                ++e;
                ++l;
            }
        }
        counts = found;
    }
    // What the next click compares with, when it is this click's list:
    // sorted, if ever, by that click's thread.
    if (!lost_) {
        kept_ = std::move(listed_);
        keptKnown_ = true;
    }
    Abandon();
    return counts;
}

void ListChanges::Abandon() {
    stop_ = true;
    if (reader_.joinable()) {
        reader_.join();
    }
    stop_ = false;
    started_ = false;
    lost_ = false;
    useKept_ = false;
    earlierKnown_ = false;
    earlier_ = {};
    listed_ = {};
}
