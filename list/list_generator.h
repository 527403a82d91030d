#pragma once

// The list generation, from the window's load to its unload:
//
//   Form_Load       takes the list's lock (ListLock), keeps an earlier
//                   list as the backup, replaces the list with its header
//                   (list_generator.cpp)
//   Command1_Click  opens the source folder and writes the list anew, the
//                   header and this click's listing of the tree, replacing it
//                   whole when the click ends (list_generator.cpp)
//     FolderWalk      depth first, each folder's files before its subfolders;
//                     a folder that fails is reported and the walk goes on;
//                     it reads its next folders ahead by threads
//                     (folder_walk.h, read_ahead.h), each read by folder.h;
//                     JudgeFolder says which it enters (walk_folder.cpp)
//     WriteFileEntry  one file's line (walk_folder.cpp, obey_format.h,
//                     list_file.h); names the builder takes for one are
//                     found as they go (name_clash.h), names it reads as
//                     another left out (builder_names.h)
//   Form_Unload     lets the lock go (list_generator.cpp)
//   ListOnce        the three in one for a command line, changing the list
//                   and backup only when the listing is done
//
// The window's places are the program directory's ROFS folder and ROFS.obey;
// a command line may name others (ListPlaces). The files beside the list are
// handled by program_files.h, once per platform. Problems and progress are
// told to observers as the walk goes, on its own thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "click_summary.h"
#include "exclusions.h"
#include "folder.h"
#include "folder_walk.h"
#include "list_changes.h"
#include "list_file.h"
#include "name_clash.h"
#include "native_text.h"
#include "program_files.h"

// What a generator lists, where the list goes and the header it opens with.
// Relative paths are taken from the working directory.
struct ListPlaces {
    NativeString source;  // the folder whose files are listed
    NativeString list;    // its backup: the same name with "_bak" before the extension
    std::string header;   // the two header lines as they stand on disk
};

// The window's places: ROFS, ROFS.obey and the fixed header in the program
// directory.
ListPlaces ProgramDirectoryPlaces(NativeView programDirectory);

// "ROFS.obey" -> "ROFS_bak.obey"; a name without an extension gets "_bak" at
// its end.
NativeString BackupPathOf(NativeView list);

// Every operation runs on the caller's thread and throws Error for what it
// does not recover from itself, out of memory included. Whatever fails, the
// list on disk holds its header and whole clicks only.
class ListGenerator {
  public:
    explicit ListGenerator(ListPlaces places);
    explicit ListGenerator(NativeView programDirectory)
        : ListGenerator(ProgramDirectoryPlaces(programDirectory)) {}

    // Each problem of a click as it arises, besides the summary's count: for
    // whoever wants all of them, not only those the summary keeps.
    void ObserveProblems(ClickSummary::Observer observer) { observer_ = std::move(observer); }

    // Told how many files a click has listed so far, after each folder and
    // every few thousand files of a wide one, on the click's own thread.
    // Returning false abandons the click: it then throws the platform's
    // "cancelled" error, and the list stands as before the click.
    using ProgressObserver = std::function<bool(std::uint64_t filesListed)>;
    void ObserveProgress(ProgressObserver observer) { progress_ = std::move(observer); }

    // At most this many threads read folders ahead of the walk; by default
    // as many as the read-ahead finds worth it. 0 leaves each folder to the
    // walk itself, one at a time. The list and the problems are the same
    // either way.
    void LimitReadAhead(std::size_t threads) { readAheadThreads_ = threads; }

    // Takes the list's lock (a second program fails with the platform's
    // "busy" error, changing nothing; ListLock says what each platform
    // locks), removes the program's own leftover temporary files, refuses
    // anything but a regular file or nothing in the list's and backup's
    // places, saves an earlier list as the backup unless it holds only the
    // header, and replaces the list with the header.
    void Form_Load();

    // Writes the list anew, the header and a full listing of the source tree
    // (not the earlier clicks' lines: the builder refuses a file listed
    // twice), recovering inside the tree by itself, and puts it in place of
    // the list when done. Leaves out what the patterns given name, and those
    // of ROFS.exclude beside the list, read anew at each click. Throws when
    // the source folder cannot be opened, its full path holds a double quote,
    // CR or LF or a name the builder reads as another (UnlistablePathError,
    // before anything is written), the pattern file cannot be read, or the
    // list cannot be written; the list then stands as before.
    ClickSummary Command1_Click();

    // Lets the lock go.
    void Form_Unload();

    // A start, a press and a close in one, for a command line: the backup
    // and the list change only when the listing is done, so that a run that
    // fails leaves both as they were.
    ClickSummary ListOnce();

    // The header and one listing to standard output, for another program to
    // read: no lock, no backup, no file of the program's own.
    ClickSummary ListToStandardOutput();

    // Leaves out, neither listed nor reported, the entries pattern names
    // (Exclusions::AddPattern); a folder left out is neither entered nor
    // read ahead. The program's own files beside the list are left out
    // always.
    void Exclude(NativeView pattern) {
        exclusions_.AddPattern(pattern, {'-', '-', 'e', 'x', 'c', 'l', 'u', 'd', 'e'});
        givenPatterns_ = exclusions_.PatternCount();
    }

    // Exclude for each pattern of the pattern file at path (pattern_file.h),
    // read now. Throws Error naming it when it is not there or cannot be read.
    void ExcludeFrom(NativeView path);

    const NativeString& ListPath() const { return places_.list; }
    const NativeString& SourcePath() const { return places_.source; }
    NativeString BackupPath() const { return BackupPathOf(places_.list); }

  private:
    struct Start {
        std::unique_ptr<ListLock> lock;
        std::unique_ptr<ReplacementFile> backup;
    };
    Start Begin();
    ClickSummary Click(ReplacementFile* backup);
    static void CommitBoth(ReplacementFile* backup, ReplacementFile& list);
    const NativeString& WalkRoot();
    void ListTree(FolderWalk& walk, ListFile& list, ClickSummary& summary);
    FolderVerdict JudgeFolder(NativeView name, NativeView path) const;
    void KnowOwnFiles(const ListLock& lock);
    void ReadExcludeFile();
    void AddPatternFile(const std::string& bytes, NativeView shownAs);
    NativeView RelativeTo(NativeView path) const;
    bool LeavesOut(NativeView name);
    bool LeavesOut(NativeView name, bool ownFolder);
    bool ExcludedAt(NativeView name, NativeView path) const;
    NativeString FullSourcePath() const;
    void WriteFolderFiles(const FolderListing& folder, ListFile& list, ClickSummary& summary);
    void WriteFileEntry(NativeView path, ListFile& list, ClickSummary& summary);
    void ReportClashes(const FolderListing& folder, std::size_t folderLength,
                       ClickSummary& summary);
    void ReportProgress(const ClickSummary& summary) const;
    bool ReadAsOther(NativeView name, bool file);

    ListPlaces places_;
    ClickSummary::Observer observer_;
    ProgressObserver progress_;
    std::size_t readAheadThreads_ = SIZE_MAX;
    std::unique_ptr<ListLock> lock_;
    Exclusions exclusions_;
    std::size_t givenPatterns_ = 0;  // the first of exclusions_' patterns: not ROFS.exclude's
    // The list this click compares its listing with (ListChanges): the
    // window's first press has the backup, which holds the list found at
    // load, or the last real one when that held only its header; each later
    // press the list as the one before left it.
    NativeString earlierList_;
    bool earlierIsLastListing_ = false;  // the press before's listing, kept by changes_
    bool pressed_ = false;
    ListChanges changes_;
    NativeString rootPath_;
    bool rootNeedsQuotes_ = false;
    NativeString path_;    // the path being walked, shared by every level
    NativeString line_;    // the line being built, its room reused
    NativeString readAs_;  // what the builder reads for the entry ReadAsOther last named
    NameClashFinder clashFinder_;
};
