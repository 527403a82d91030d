#include "tree_names.h"

#include <cstddef>

std::uint64_t SeededRandom::Next() {
    // splitmix64: small, fast, and the same everywhere.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

namespace {

constexpr char kAscii[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-";

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string RandomName(SeededRandom& random) {
    const std::size_t length = 8 + random.Below(13);
    const std::uint64_t kind = random.Below(100);
    const bool chinese = kind < 8;
    // A space never starts or ends a name: some tools trim them, and the tree
    // is for timing, not for probing names. Nor does a "." end one: the
    // Windows build leaves such names out, as the image builder would open
    // the name without it.
    const std::size_t space = kind >= 95 ? 1 + random.Below(length - 2) : length;
    std::string name;
    for (std::size_t i = 0; i < length; ++i) {
        if (i == space) {
            name.push_back(' ');
        } else if (chinese && random.Below(2) == 0) {
            AppendUtf8(name, static_cast<char32_t>(0x4E00 + random.Below(0x9FA5 - 0x4E00 + 1)));
        } else {
            // The last of kAscii's characters are "._-".
            const std::size_t choices = sizeof(kAscii) - (i + 1 == length ? 4 : 1);
            name.push_back(kAscii[random.Below(choices)]);
        }
    }
    return name;
}
