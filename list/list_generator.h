#pragma once

// The list generation, from the window's load to its unload:
//
//   Form_Load       takes the program directory's lock, keeps an earlier
//                   list as the backup, replaces the list with its header
//                   (list_generator.cpp)
//   Command1_Click  opens the source folder and writes the list anew with
//                   one more listing of the tree, replacing it whole when the
//                   click ends (list_generator.cpp)
//     WalkFolder      depth first, each folder's files before its subfolders;
//                     a folder that fails is reported and the walk goes on
//                     (walk_folder.cpp, reading folders through folder.h)
//     WriteFileEntry  one file's line (walk_folder.cpp, obey_format.h,
//                     list_file.h)
//   Form_Unload     lets the lock go (list_generator.cpp)
//
// The files beside the program are handled by program_files.h, once per
// platform.

#include <memory>

#include "click_summary.h"
#include "folder.h"
#include "list_file.h"
#include "native_text.h"
#include "program_files.h"

// Every operation runs on the caller's thread and throws Error for what it
// does not recover from itself, out of memory included. Whatever fails, the
// list on disk holds its header and whole clicks only.
class ListGenerator {
  public:
    // A relative programDirectory is taken from the working directory.
    explicit ListGenerator(NativeString programDirectory);

    // Takes the directory's lock (a second program there fails with the
    // platform's "busy" error, changing nothing), removes the program's own
    // leftover temporary files, refuses anything but a regular file or
    // nothing in the list's and backup's places, saves an earlier list as the
    // backup unless it holds only the header, and replaces the list with the
    // header.
    void Form_Load();

    // Writes the list anew with a full listing of the source tree after what
    // it held, recovering inside the tree by itself, and puts it in place of
    // the list when done. Throws when the source folder cannot be opened or
    // the list cannot be written; the list then stands as before.
    ClickSummary Command1_Click();

    // Lets the lock go. The unload always proceeds; cancel is left untouched.
    void Form_Unload(bool* cancel = nullptr);

    // The source folder's full path at the latest click; empty before it.
    const NativeString& RootPath() const { return rootPath_; }

    NativeString ListPath() const { return programDirectory_ + kListFileSuffix; }
    NativeString BackupPath() const { return programDirectory_ + kBackupFileSuffix; }
    NativeString SourcePath() const { return programDirectory_ + kSourceFolderSuffix; }

  private:
    void Load();
    ClickSummary Click();
    void CopyCurrentList(ListFile& list);
    void WalkFolder(std::unique_ptr<FolderListing> folder, FolderReader& reader, ListFile& list,
                    ClickSummary& summary);
    void WriteFolderFiles(const FolderListing& folder, ListFile& list, ClickSummary& summary);
    void WriteFileEntry(NativeView path, ListFile& list, ClickSummary& summary);

    NativeString programDirectory_;
    std::unique_ptr<DirectoryLock> lock_;
    NativeString rootPath_;
    NativeString path_;  // the path being walked, shared by every level
    NativeString line_;  // the line being built, its room reused
};
