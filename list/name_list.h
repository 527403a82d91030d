#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The names of one folder's files or subfolders, in one arena, put in the
// order of their bytes taken as unsigned values: the order a byte-wise
// strcmp gives, with no locale involved. Each name keeps its length, and ends
// in NUL so that it can go straight to a system call. Cleared lists keep
// their memory, so that a walk that reuses them reaches the heap only while
// they grow to the largest folder it has met.
class NameList {
  public:
    void Clear() {
        arena_.clear();
        entries_.clear();
    }

    void Add(const char* name, std::size_t length);

    void Sort();

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }

    // Valid until the list is next changed.
    std::string_view At(std::size_t index) const {
        const Entry& entry = entries_[index];
        return std::string_view(arena_.data() + entry.offset, entry.length);
    }

  private:
    struct Entry {
        // The first eight bytes, big-endian, zero-padded: most comparisons
        // end here, without a look into the arena.
        std::uint64_t prefix;
        std::uint32_t offset;
        std::uint32_t length;
    };

    static bool Before(const char* arena, const Entry& a, const Entry& b);

    std::vector<char> arena_;
    std::vector<Entry> entries_;
};
