#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "folder.h"
#include "native_text.h"

// A pattern that left nothing out in a click: as given, and where it was
// given ("--exclude", "ROFS.exclude:3").
struct IdlePattern {
    NativeString pattern;
    NativeString origin;
};

// What a walk leaves out, neither listed nor reported: the program's own
// files beside its list, wherever the source folder lies and by whatever path
// it is reached, and what the user's patterns name.
class Exclusions {
  public:
    // A pattern of names ("Thumbs.db", "*.tmp", ".svn"), or, when it holds a
    // separator ("/" and, on Windows, "\"), a pattern of image paths from the
    // source folder down ("sys/tmp"). See MatchesPattern.
    // origin says where the pattern was given, for a note that it left out
    // nothing ("--exclude", "ROFS.exclude:3").
    void AddPattern(NativeView pattern, NativeString origin = {});

    // Drops the patterns added after the first count of them: those of a
    // file read anew at each click.
    void KeepPatterns(std::size_t count);
    std::size_t PatternCount() const { return patterns_.size(); }

    // The names of the program's own files in the folder whose identity is
    // folder. Files of the same names in other folders are the user's.
    void SetOwnFiles(FolderId folder, std::vector<NativeString> names);

    bool HasPatterns() const { return !patterns_.empty(); }
    bool IsOwnFolder(const FolderId& folder) const { return ownFolder_ && *ownFolder_ == folder; }

    // name: a file of a folder for which IsOwnFolder holds.
    bool IsOwnFile(NativeView name) const;

    // Whether the user's patterns leave out the entry name, whose image path
    // below the source folder is relative (no leading separator). The entry
    // is counted to the first pattern that names it: ask once an entry, on
    // one thread.
    bool Excludes(NativeView name, NativeView relative);

    // The same question, uncounted, for a second look at an entry.
    bool ExcludesUncounted(NativeView name, NativeView relative) const;

    // The counts of Excludes from zero again.
    void StartCounting();

    // The entries Excluded since StartCounting.
    std::uint64_t LeftOut() const { return leftOut_; }

    // The patterns that left nothing out since StartCounting.
    std::vector<IdlePattern> IdlePatterns() const;

  private:
    struct Pattern {
        NativeString match;  // separators made the platform's, and trimmed
        bool isPath;
        NativeString given;
        NativeString origin;
        std::uint64_t leftOut;
    };
    // The index of the first pattern that names the entry, or the count.
    std::size_t Match(NativeView name, NativeView relative) const;

    std::vector<Pattern> patterns_;
    std::uint64_t leftOut_ = 0;
    std::optional<FolderId> ownFolder_;
    std::vector<NativeString> ownNames_;
};

// Whether text matches pattern whole: "*" stands for any run of characters,
// "?" for any one, neither of them for a separator; other characters compare
// as the platform's file names do.
bool MatchesPattern(NativeView pattern, NativeView text);

// Whether two characters of names are the same to the platform's file
// systems: exactly equal on POSIX, equal regardless of case on Windows.
bool SameNameCharacter(NativeChar a, NativeChar b);
