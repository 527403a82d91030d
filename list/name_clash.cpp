#include "name_clash.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "native_text.h"
#include "obey_reader.h"

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

// Eight bytes folded at once, as FoldAscii (obey_reader.h) folds each: A-Z
// made a-z, and nothing else changed. A byte is a capital when its low seven
// bits reach 'A' but not past 'Z' and its high bit is clear.
std::uint64_t FoldWord(std::uint64_t word) {
    const std::uint64_t low = word & ~kHighs;
    const std::uint64_t atLeastA = low + (0x80 - 'A') * kOnes;
    const std::uint64_t pastZ = low + (0x80 - 'Z' - 1) * kOnes;
    const std::uint64_t capitals = atLeastA & ~pastZ & ~word & kHighs;
    return word | (capitals >> 2);
}

// The folded bytes eight at a time, the last eight overlapping the eight
// before, the length mixed in: every name of a wide folder passes here once.
std::uint32_t FoldedHash(const char* bytes, std::size_t length) {
    std::uint64_t hash = length * 0x9E3779B97F4A7C15ull;
    const auto mix = [&hash](std::uint64_t word) {
        hash = (hash ^ FoldWord(word)) * 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 29;
    };
    std::uint64_t word = 0;
    if (length < 8) {
        for (std::size_t i = 0; i < length; ++i) {
            word = word << 8 | static_cast<unsigned char>(bytes[i]);
        }
        mix(word);
    } else {
        for (std::size_t i = 0;; i += 8) {
            const std::size_t at = i + 8 > length ? length - 8 : i;
            std::memcpy(&word, bytes + at, 8);
            mix(word);
            if (at + 8 == length) {
                break;
            }
        }
    }
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

bool IsUnlistable(std::string_view bytes) {
    return bytes.find_first_of("\r\n\"") != std::string_view::npos;
}

}  // namespace

NativeView NameClashFinder::Name(std::size_t entry) const {
    return entry < files_->Size() ? files_->At(entry) : folders_->At(entry - files_->Size());
}

// The name as the list writes it. Where a character is one byte that is the
// name itself; a wide name of ASCII alone goes unit for unit, any other as
// the list converts it, so that two characters the code page lacks, both
// written as its default character, are equal here as to the builder.
std::string_view NameClashFinder::ListBytes(NativeView name, std::string& room) {
    if constexpr (sizeof(NativeChar) == 1) {
        return std::string_view(reinterpret_cast<const char*>(name.data()), name.size());
    }
    room.clear();
    bool ascii = true;
    for (const NativeChar c : name) {
        ascii = ascii && static_cast<std::make_unsigned_t<NativeChar>>(c) < 0x80;
        room.push_back(static_cast<char>(c));
    }
    if (!ascii) {
        room.clear();
        AppendNarrow(name, room);
    }
    return room;
}

void NameClashFinder::Start(const NameList& files, const NameList& folders) {
    files_ = &files;
    folders_ = &folders;
    const std::size_t count = files.Size() + folders.Size();
    std::size_t bits = 64;
    while (bits < 8 * count) {
        bits *= 2;
    }
    mask_ = static_cast<std::uint32_t>(bits - 1);
    hashes_.clear();
    hashes_.reserve(count);
    skipped_.clear();
    seen_.assign(bits / 64, 0);
    twice_.assign(bits / 64, 0);
    anyTwice_ = false;
}

void NameClashFinder::Add(NativeView name) {
    const std::string_view bytes = ListBytes(name, narrow_);
    const std::uint32_t hash = FoldedHash(bytes.data(), bytes.size());
    hashes_.push_back(hash);
    skipped_.push_back(false);
    const std::uint32_t bit = hash & mask_;
    const std::uint64_t flag = std::uint64_t{1} << (bit % 64);
    if ((seen_[bit / 64] & flag) != 0) {
        twice_[bit / 64] |= flag;
        anyTwice_ = true;
    }
    seen_[bit / 64] |= flag;
}

void NameClashFinder::Skip() {
    hashes_.push_back(0);
    skipped_.push_back(true);
}

// The entries whose bit was set twice, in order of hash and then entry: a
// run of one hash holds every name equal to any of them, the first first.
// Only a clash found is checked for names the list never holds: folding
// keeps line breaks and quotes, so such a name equals no listed one.
const std::vector<NameClashFinder::Clash>& NameClashFinder::Clashes() {
    clashes_.clear();
    if (!anyTwice_) {
        return clashes_;
    }
    candidates_.clear();
    for (std::size_t entry = 0; entry < hashes_.size(); ++entry) {
        const std::uint32_t bit = hashes_[entry] & mask_;
        if (!skipped_[entry] && (twice_[bit / 64] >> (bit % 64) & 1) != 0) {
            candidates_.push_back(std::uint64_t{hashes_[entry]} << 32 | entry);
        }
    }
    std::sort(candidates_.begin(), candidates_.end());
    const auto entryOf = [this](std::size_t candidate) {
        return static_cast<std::size_t>(candidates_[candidate] & 0xFFFFFFFFu);
    };
    for (std::size_t later = 1; later < candidates_.size(); ++later) {
        const std::string_view bytes = ListBytes(Name(entryOf(later)), narrow_);
        std::size_t first = later;
        for (std::size_t earlier = later;
             earlier-- > 0 && candidates_[earlier] >> 32 == candidates_[later] >> 32;) {
            if (EqualFolded(bytes, ListBytes(Name(entryOf(earlier)), other_))) {
                first = earlier;
            }
        }
        if (first != later && !IsUnlistable(bytes)) {
            clashes_.push_back({entryOf(later), entryOf(first)});
        }
    }
    std::sort(clashes_.begin(), clashes_.end(),
              [](const Clash& a, const Clash& b) { return a.later < b.later; });
    return clashes_;
}
