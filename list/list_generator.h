#pragma once

// The list generation, from the window's load to its unload:
//
//   Form_Load       takes the list's lock (ListLock), keeps an earlier
//                   list as the backup, replaces the list with its header
//                   (list_generator.cpp)
//   Command1_Click  opens the source folder and writes the list anew with
//                   one more listing of the tree, replacing it whole when the
//                   click ends (list_generator.cpp)
//     FolderWalk      depth first, each folder's files before its subfolders;
//                     a folder that fails is reported and the walk goes on;
//                     it reads its next folders ahead by threads
//                     (folder_walk.h, read_ahead.h), each read by folder.h;
//                     JudgeFolder says which it enters (walk_folder.cpp)
//     WriteFileEntry  one file's line (walk_folder.cpp, obey_format.h,
//                     list_file.h); names the builder takes for one are
//                     found as they go (name_clash.h)
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

    // Writes the list anew with a full listing of the source tree after what
    // it held, recovering inside the tree by itself, and puts it in place of
    // the list when done. Throws when the source folder cannot be opened, its
    // full path holds a double quote, CR or LF (UnlistablePathError, before
    // anything is written), or the list cannot be written; the list then
    // stands as before.
    ClickSummary Command1_Click();

    // Lets the lock go. The unload always proceeds; cancel is left untouched.
    void Form_Unload(bool* cancel = nullptr);

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
    void Exclude(NativeView pattern) { exclusions_.AddPattern(pattern); }

    const NativeString& ListPath() const { return places_.list; }
    const NativeString& SourcePath() const { return places_.source; }
    NativeString BackupPath() const { return BackupPathOf(places_.list); }

  private:
    struct Start {
        std::unique_ptr<ListLock> lock;
        std::unique_ptr<ReplacementFile> backup;
    };
    Start Begin();
    ClickSummary Click(bool afresh, ReplacementFile* backup);
    const NativeString& WalkRoot();
    void ListTree(FolderWalk& walk, ListFile& list, ClickSummary& summary);
    FolderVerdict JudgeFolder(NativeView name, NativeView path) const;
    void KnowOwnFiles(const ListLock& lock);
    bool LeavesOut(NativeView name) const;
    bool LeavesOut(NativeView name, bool ownFolder) const;
    bool ExcludedAt(NativeView name, NativeView path) const;
    NativeString FullSourcePath() const;
    void CopyCurrentList(ListFile& list);
    void WriteFolderFiles(const FolderListing& folder, ListFile& list, ClickSummary& summary);
    void WriteFileEntry(NativeView path, ListFile& list, ClickSummary& summary);
    void ReportClashes(const FolderListing& folder, std::size_t folderLength,
                       ClickSummary& summary);
    void ReportProgress(const ClickSummary& summary) const;

    ListPlaces places_;
    ClickSummary::Observer observer_;
    ProgressObserver progress_;
    std::size_t readAheadThreads_ = SIZE_MAX;
    std::unique_ptr<ListLock> lock_;
    Exclusions exclusions_;
    NativeString rootPath_;
    bool rootNeedsQuotes_ = false;
    NativeString path_;  // the path being walked, shared by every level
    NativeString line_;  // the line being built, its room reused
    NameClashFinder clashFinder_;
};
