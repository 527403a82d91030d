#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "name_list.h"

// The builder compares image paths with ASCII letters taken without case,
// byte by byte in the list's encoding: two names of one folder that are
// equal so stop its build ("duplicate file") or merge two folders into one.
// This finds them among a folder's files and subfolders, taken together.
// Each name costs a hash and a bit in a table of eight bits a name, small
// enough to stay in the cache for the widest folder; only names whose bit
// another set before are compared, once all are in. The room is reused from
// folder to folder.
class NameClashFinder {
  public:
    // Entries are numbered files first, then folders: entry i is
    // files.At(i), or folders.At(i - files.Size()).
    struct Clash {
        std::size_t later;
        std::size_t earlier;  // the first entry the later one equals
    };

    // A folder's names to come. The subfolders of a folder whose listing
    // failed are not walked: it gives an empty list for them.
    void Start(const NameList& files, const NameList& folders);

    // The next entry's name, each in their order: the walk adds its
    // files as it writes them, while their names are at hand.
    void Add(NativeView name);

    // The next entry, left out of the list: it equals no other.
    void Skip();

    // The entries that equal an earlier one, in their order, once all are
    // added. Names the list never holds (a line break, a double quote) take
    // no part.
    const std::vector<Clash>& Clashes();

  private:
    NativeView Name(std::size_t entry) const;
    static std::string_view ListBytes(NativeView name, std::string& room);

    const NameList* files_ = nullptr;
    const NameList* folders_ = nullptr;
    std::vector<std::uint32_t> hashes_;  // each entry's
    std::vector<bool> skipped_;          // each entry's
    std::vector<std::uint64_t> seen_;    // a bit for each hash's low bits
    std::vector<std::uint64_t> twice_;   // those set more than once
    std::uint32_t mask_ = 0;
    bool anyTwice_ = false;
    std::vector<std::uint64_t> candidates_;  // hash << 32 | entry
    std::vector<Clash> clashes_;
    std::string narrow_;  // a name in the list's encoding, where it differs
    std::string other_;   // the earlier one's
};
