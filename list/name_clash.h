#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "name_list.h"

// The builder compares image paths with ASCII letters taken without case,
// byte by byte in the list's encoding: two names of one folder that are
// equal so stop its build ("duplicate file") or merge two folders into one.
// This finds them among a folder's files and subfolders, taken together,
// at the cost of a hash of each name; its room is reused from folder to
// folder.
class NameClashFinder {
  public:
    // Entries are numbered files first, then folders: entry i is
    // files.At(i), or folders.At(i - files.Size()).
    struct Clash {
        std::size_t later;
        std::size_t earlier;  // the first entry the later one equals
    };

    // The entries that equal an earlier one, in their order. Names the list
    // never holds (a line break, a double quote) take no part. Valid until
    // the next call.
    const std::vector<Clash>& Find(const NameList& files, const NameList& folders);

  private:
    struct Slot {
        std::uint32_t hash;
        std::uint32_t entry;  // the entry's number + 1; 0 for an empty slot
    };

    NativeView Name(std::size_t entry) const;
    std::uint32_t Hash(NativeView name);
    bool Equal(NativeView a, NativeView b);
    const std::string& Narrow(NativeView name, std::string& room);

    const NameList* files_ = nullptr;
    const NameList* folders_ = nullptr;
    std::vector<Slot> table_;
    std::vector<Clash> clashes_;
    std::string narrow_;  // a name in the list's encoding, where it differs
    std::string other_;
};
