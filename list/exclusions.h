#pragma once

#include <optional>
#include <vector>

#include "folder.h"
#include "native_text.h"

// What a walk leaves out, neither listed nor reported: the program's own
// files beside its list, wherever the source folder lies and by whatever path
// it is reached, and what the user's patterns name.
class Exclusions {
  public:
    // A pattern of names ("Thumbs.db", "*.tmp", ".svn"), or, when it holds a
    // separator ("/" and, on Windows, "\"), a pattern of image paths from the
    // source folder down ("sys/tmp"). See MatchesPattern.
    void AddPattern(NativeView pattern);

    // The names of the program's own files in the folder whose identity is
    // folder. Files of the same names in other folders are the user's.
    void SetOwnFiles(FolderId folder, std::vector<NativeString> names);

    bool HasPatterns() const { return !namePatterns_.empty() || !pathPatterns_.empty(); }
    bool HasPathPatterns() const { return !pathPatterns_.empty(); }
    bool IsOwnFolder(const FolderId& folder) const { return ownFolder_ && *ownFolder_ == folder; }

    // name: a file of a folder for which IsOwnFolder holds.
    bool IsOwnFile(NativeView name) const;

    // Whether the user's patterns leave out the entry name, whose image path
    // below the source folder is relative (no leading separator).
    bool Excludes(NativeView name, NativeView relative) const;

    // Whether a pattern of names leaves out name, wherever it stands.
    bool ExcludesName(NativeView name) const;

  private:
    std::vector<NativeString> namePatterns_;
    std::vector<NativeString> pathPatterns_;
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
