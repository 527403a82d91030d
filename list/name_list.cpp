#include "name_list.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint64_t BigEndianPrefix(const char* name, std::size_t length) {
    unsigned char bytes[8] = {};
    std::memcpy(bytes, name, std::min<std::size_t>(length, 8));
    std::uint64_t prefix = 0;
    for (unsigned char byte : bytes) {
        prefix = (prefix << 8) | byte;
    }
    return prefix;
}

}  // namespace

void NameList::Add(const char* name, std::size_t length) {
    const std::size_t offset = arena_.size();
    arena_.insert(arena_.end(), name, name + length);
    arena_.push_back('\0');
    entries_.push_back(Entry{BigEndianPrefix(name, length), static_cast<std::uint32_t>(offset),
                             static_cast<std::uint32_t>(length)});
}

bool NameList::Before(const char* arena, const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix) {
        return a.prefix < b.prefix;
    }
    // Equal prefixes: the names agree in their first eight bytes, or are the
    // same shorter name.
    const std::uint32_t shorter = std::min(a.length, b.length);
    if (shorter > 8) {
        const int order = std::memcmp(arena + a.offset + 8, arena + b.offset + 8, shorter - 8);
        if (order != 0) {
            return order < 0;
        }
    }
    return a.length < b.length;
}

void NameList::Sort() {
    const char* arena = arena_.data();
    std::sort(entries_.begin(), entries_.end(),
              [arena](const Entry& a, const Entry& b) { return Before(arena, a, b); });
}
