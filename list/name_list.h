#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "native_text.h"

// The names of one folder's files or subfolders, in one arena, put in the
// order of their characters taken as unsigned values (on POSIX the order a
// byte-wise strcmp gives), with no locale involved. Each name keeps its length, and ends
// in NUL so that it can go straight to a system call. Cleared lists keep
// their memory, so that a walk that reuses them reaches the heap only while
// they grow to the largest folder it has met.
class NameList {
  public:
    void Clear() {
        arena_.clear();
        entries_.clear();
    }

    // Room for count names of bytes bytes in all, so that adding up to that
    // much moves nothing.
    void Reserve(std::size_t bytes, std::size_t count) {
        arena_.reserve(bytes);
        entries_.reserve(count);
    }

    void Add(const NativeChar* name, std::size_t length);

    void Sort();

    std::size_t Size() const { return entries_.size(); }

    // The memory the list holds, used or kept for reuse.
    std::size_t Capacity() const {
        return arena_.capacity() * sizeof(NativeChar) + entries_.capacity() * sizeof(Entry);
    }
    bool Empty() const { return entries_.empty(); }

    // Valid until the list is next changed.
    NativeView At(std::size_t index) const {
        const Entry& entry = entries_[index];
        return NativeView(arena_.data() + entry.offset, entry.length);
    }

    // Sorted, the names lie scattered over the arena: a walk that reads them
    // in turn asks for one a few turns ahead, so that a wide folder's names
    // are not each a wait for memory.
    void Prefetch(std::size_t index) const {
#if defined(__GNUC__)
        if (index < entries_.size()) {
            __builtin_prefetch(arena_.data() + entries_[index].offset);
        }
#else
        (void)index;
#endif
    }

  private:
    struct Entry {
        // The first eight bytes of characters, big-endian, zero-padded, once
        // sorted: most comparisons end here, without a look into the arena.
        std::uint64_t prefix;
        std::uint32_t offset;
        std::uint32_t length;
    };

    // Up to this many names a comparison sort beats a pass over 256 buckets.
    static constexpr std::size_t kComparisonSortMost = 64;

    static bool Before(const NativeChar* arena, const Entry& a, const Entry& b);
    void SortRange(Entry* first, Entry* last, int shift);

    std::vector<NativeChar> arena_;
    std::vector<Entry> entries_;
};
