#include "name_clash.h"

#include <type_traits>

#include "obey_format.h"

namespace {

using Unit = std::make_unsigned_t<NativeChar>;

unsigned char FoldAscii(unsigned char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool IsAscii(NativeView name) {
    for (const NativeChar c : name) {
        if (static_cast<Unit>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

template <typename Char>
std::uint32_t FoldedHash(const Char* text, std::size_t length) {
    // FNV-1a
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < length; ++i) {
        hash = (hash ^ FoldAscii(static_cast<unsigned char>(text[i]))) * 16777619u;
    }
    return hash;
}

template <typename Char>
bool FoldedEqual(const Char* a, std::size_t aLength, const Char* b, std::size_t bLength) {
    if (aLength != bLength) {
        return false;
    }
    for (std::size_t i = 0; i < aLength; ++i) {
        if (FoldAscii(static_cast<unsigned char>(a[i])) !=
            FoldAscii(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

NativeView NameClashFinder::Name(std::size_t entry) const {
    return entry < files_->Size() ? files_->At(entry) : folders_->At(entry - files_->Size());
}

// Where a character is one byte the name is its own list bytes; a wide name
// of ASCII alone is too, unit for unit. Any other is converted as the list
// converts it, so that two characters the code page lacks, both written as
// its default character, are equal here as they are to the builder.
const std::string& NameClashFinder::Narrow(NativeView name, std::string& room) {
    room.clear();
    AppendNarrow(name, room);
    return room;
}

std::uint32_t NameClashFinder::Hash(NativeView name) {
    if (sizeof(NativeChar) == 1 || IsAscii(name)) {
        return FoldedHash(name.data(), name.size());
    }
    const std::string& bytes = Narrow(name, narrow_);
    return FoldedHash(bytes.data(), bytes.size());
}

bool NameClashFinder::Equal(NativeView a, NativeView b) {
    if (sizeof(NativeChar) == 1 || (IsAscii(a) && IsAscii(b))) {
        return FoldedEqual(a.data(), a.size(), b.data(), b.size());
    }
    const std::string& aBytes = Narrow(a, narrow_);
    const std::string& bBytes = Narrow(b, other_);
    return FoldedEqual(aBytes.data(), aBytes.size(), bBytes.data(), bBytes.size());
}

// Open addressing in a table at least twice the entries' count: a probe
// ends at an empty slot within a few steps.
const std::vector<NameClashFinder::Clash>& NameClashFinder::Find(const NameList& files,
                                                                 const NameList& folders) {
    clashes_.clear();
    files_ = &files;
    folders_ = &folders;
    const std::size_t count = files.Size() + folders.Size();
    if (count < 2) {
        return clashes_;
    }
    std::size_t size = 8;
    while (size < 2 * count) {
        size *= 2;
    }
    table_.assign(size, Slot{0, 0});
    for (std::size_t entry = 0; entry < count; ++entry) {
        const NativeView name = Name(entry);
        if (HasLineBreak(name) || HasQuote(name)) {
            continue;
        }
        const std::uint32_t hash = Hash(name);
        for (std::size_t slot = hash & (size - 1);; slot = (slot + 1) & (size - 1)) {
            Slot& place = table_[slot];
            if (place.entry == 0) {
                place = Slot{hash, static_cast<std::uint32_t>(entry + 1)};
                break;
            }
            if (place.hash == hash && Equal(name, Name(place.entry - 1))) {
                clashes_.push_back(Clash{entry, place.entry - 1});
                break;
            }
        }
    }
    return clashes_;
}
