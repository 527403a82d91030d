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

void SortUnique(std::vector<std::uint64_t>& keys) {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

}  // namespace

void ListChanges::Start(NativeString earlier) {
    Abandon();
    if (earlier.empty()) {
        return;
    }
    earlierPath_ = std::move(earlier);
    started_ = true;
    try {
        reader_ = std::thread(&ListChanges::ReadEarlier, this);
    } catch (const std::system_error&) {
        // Read at Finish instead, on the click's thread.
    }
}

// Memory that runs out here costs the counts, not the click.
void ListChanges::Add(NativeView imagePath) {
    try {
        narrow_.clear();
        AppendNarrow(imagePath, narrow_);
        listed_.push_back(Key(narrow_));
    } catch (const std::bad_alloc&) {
        lost_ = true;
        started_ = false;
    }
}

// A file line as the builder cuts it: "file", the host path, the image path.
// Any failure leaves the earlier list unknown, never the click failed.
void ListChanges::ReadEarlier() {
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
    } else {
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
    earlierKnown_ = false;
    earlier_ = {};
    listed_ = {};
}
