#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "file_system.h"

// The platform's file services with failures on demand: each step of the
// walk and of the list's life can be made to fail, on a real tree.
// Folders are named by their full path, as the walk passes it.
struct FaultPlan {
    std::set<NativeString> failOpen;                       // opening the folder
    std::map<NativeString, std::size_t> failFilesAfter;    // listing its files, after n of them
    std::set<NativeString> failSubFolderCount;             // counting its subfolders
    std::map<NativeString, std::size_t> failAdvanceAfter;  // advancing its subfolders, after n
    // Runs just before a folder is opened: the tree changing under the walk.
    std::function<void(const NativeString& path)> beforeOpen;
    // Runs once a folder is open and listed.
    std::function<void(const NativeString& path)> afterOpen;

    bool failCopy = false;
    bool failRemove = false;
    bool failCreate = false;

    // The write whose bytes hold this text fails, once.
    std::string failWriteHolding;
    // While set, every write fails after letting this many bytes through:
    // a disk that has filled.
    bool diskFull = false;
    std::size_t bytesBeforeFull = 0;
};

// The error every injected failure raises.
long InjectedErrorNumber();

class FailingFileSystem final : public FileSystem {
  public:
    explicit FailingFileSystem(FaultPlan& plan);

    NativeString FolderPath(NativeView path) override;
    std::unique_ptr<Folder> OpenFolder(NativeView path) override;
    bool IsNormalFile(NativeView path) override;
    std::string ReadStart(NativeView path, std::size_t limit) override;
    void CheckRemovable(NativeView path) override;
    void CopyOver(NativeView from, NativeView to) override;
    void Remove(NativeView path) override;
    std::unique_ptr<OutputFile> CreateForWriting(NativeView path) override;

    std::unique_ptr<Folder> Wrap(std::unique_ptr<Folder> folder, NativeView path);

  private:
    FaultPlan& plan_;
    std::unique_ptr<FileSystem> real_;
};
