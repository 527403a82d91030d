#include "name_list.h"

#include <algorithm>
#include <string>
#include <type_traits>
#include <utility>

namespace {

using Unit = std::make_unsigned_t<NativeChar>;
constexpr std::size_t kPrefixUnits = 8 / sizeof(NativeChar);

std::uint64_t BigEndianPrefix(const NativeChar* name, std::size_t length) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < kPrefixUnits; ++i) {
        const Unit unit = i < length ? static_cast<Unit>(name[i]) : 0;
        prefix = (prefix << (8 * sizeof(NativeChar))) | unit;
    }
    return prefix;
}

}  // namespace

void NameList::Add(const NativeChar* name, std::size_t length) {
    const std::size_t offset = arena_.size();
    arena_.insert(arena_.end(), name, name + length);
    arena_.push_back(0);
    entries_.push_back(
        Entry{0, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length)});
}

bool NameList::Before(const NativeChar* arena, const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix) {
        return a.prefix < b.prefix;
    }
    // Equal prefixes: the names agree in their first eight bytes, or are the
    // same shorter name. The traits compare characters as unsigned values.
    const std::uint32_t shorter = std::min(a.length, b.length);
    if (shorter > kPrefixUnits) {
        const int order = std::char_traits<NativeChar>::compare(arena + a.offset + kPrefixUnits,
                                                                arena + b.offset + kPrefixUnits,
                                                                shorter - kPrefixUnits);
        if (order != 0) {
            return order < 0;
        }
    }
    return a.length < b.length;
}

// Most significant byte first, one byte of the prefix per level: a wide
// folder's names spread over the buckets at once, and each bucket is left to
// a comparison sort once it is small enough to sit in the cache.
void NameList::SortRange(Entry* first, Entry* last, int shift) {
    const std::size_t count = static_cast<std::size_t>(last - first);
    if (count <= kComparisonSortMost || shift < 0) {
        const NativeChar* arena = arena_.data();
        std::sort(first, last,
                  [arena](const Entry& a, const Entry& b) { return Before(arena, a, b); });
        return;
    }
    std::size_t starts[257] = {};
    for (const Entry* entry = first; entry != last; ++entry) {
        ++starts[((entry->prefix >> shift) & 0xFF) + 1];
    }
    if (starts[((first->prefix >> shift) & 0xFF) + 1] == count) {
        SortRange(first, last, shift - 8);
        return;
    }
    for (int byte = 0; byte < 256; ++byte) {
        starts[byte + 1] += starts[byte];
    }
    // Each entry goes to the next free place of its bucket, in place: no
    // second list as large as a wide folder is needed.
    std::size_t next[256];
    std::copy(starts, starts + 256, next);
    for (int byte = 0; byte < 256; ++byte) {
        while (next[byte] < starts[byte + 1]) {
            Entry entry = first[next[byte]];
            int bucket = static_cast<int>((entry.prefix >> shift) & 0xFF);
            while (bucket != byte) {
                std::swap(entry, first[next[bucket]++]);
                bucket = static_cast<int>((entry.prefix >> shift) & 0xFF);
            }
            first[next[byte]++] = entry;
        }
    }
    for (int byte = 0; byte < 256; ++byte) {
        if (starts[byte + 1] - starts[byte] > 1) {
            SortRange(first + starts[byte], first + starts[byte + 1], shift - 8);
        }
    }
}

// The prefixes are taken here, where they are compared: a listing kept in
// the platform's own order needs none.
void NameList::Sort() {
    for (Entry& entry : entries_) {
        entry.prefix = BigEndianPrefix(arena_.data() + entry.offset, entry.length);
    }
    SortRange(entries_.data(), entries_.data() + entries_.size(), 56);
}
