#pragma once

#include <cstddef>
#include <memory>

#include "click_summary.h"
#include "file_system.h"
#include "list_file.h"
#include "native_text.h"

// The list of one window's life: opened when the window loads, a full listing
// of the source tree appended at each click, closed when the window unloads.
// Every operation runs on the caller's thread and throws Error for what it
// does not recover from itself.
class ListGenerator {
  public:
    // programDirectory has no trailing separator unless it is a root.
    ListGenerator(FileSystem& fileSystem, NativeString programDirectory,
                  std::size_t blockSize = ListFile::kDefaultBlockSize);

    // Saves an earlier list as the backup, creates the list anew with its two
    // header lines and leaves it open, flushed to the file.
    void Form_Load();

    // Appends a line for every file under the source folder, recovering inside
    // the tree by itself; the lines are flushed to the file when it returns.
    // Throws when the source folder cannot be opened or the flush fails.
    ClickSummary Command1_Click();

    // Closes the list. The unload always proceeds; cancel is left untouched.
    void Form_Unload(bool* cancel = nullptr);

    // The source folder's path of the latest click, trimmed; empty before it.
    const NativeString& RootPath() const { return rootPath_; }

    NativeString ListPath() const { return programDirectory_ + kListFileSuffix; }
    NativeString BackupPath() const { return programDirectory_ + kBackupFileSuffix; }
    NativeString SourcePath() const { return programDirectory_ + kSourceFolderSuffix; }

  private:
    void WalkFolder(std::unique_ptr<Folder> folder, ClickSummary& summary);
    void WriteFileEntries(Folder& folder, ClickSummary& summary);
    void WriteFileEntry(NativeView path, ClickSummary& summary);

    FileSystem& fileSystem_;
    NativeString programDirectory_;
    std::size_t blockSize_;
    std::unique_ptr<ListFile> listFile_;
    NativeString rootPath_;
    NativeString path_;  // the path being walked, shared by every level
};
