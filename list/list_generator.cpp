#include "list_generator.h"

#include <utility>
#include <vector>

#include "error.h"
#include "obey_format.h"

ListGenerator::ListGenerator(FileSystem& fileSystem, NativeString programDirectory,
                             std::size_t blockSize)
    : fileSystem_(fileSystem),
      programDirectory_(std::move(programDirectory)),
      blockSize_(blockSize) {}

void ListGenerator::Form_Load() {
    if (listFile_ != nullptr) {
        throw InvalidArgumentError();
    }
    const NativeString listPath = ListPath();
    if (fileSystem_.IsNormalFile(listPath)) {
        fileSystem_.CheckRemovable(listPath);
        // A list of nothing but the header lines is what a start without a
        // click leaves; it must not push the last real list out of the backup.
        const std::string header = HeaderBytes();
        if (fileSystem_.ReadStart(listPath, header.size() + 1) != header) {
            fileSystem_.CopyOver(listPath, BackupPath());
        }
        fileSystem_.Remove(listPath);
    }
    auto listFile = std::make_unique<ListFile>(fileSystem_.CreateForWriting(listPath), blockSize_);
    listFile->WriteAsciiLine(kImageNameLine);
    listFile->WriteAsciiLine(kImageSizeLine);
    listFile->Flush();
    listFile_ = std::move(listFile);
}

ClickSummary ListGenerator::Command1_Click() {
    if (listFile_ == nullptr) {
        throw InvalidArgumentError();
    }
    ClickSummary summary;
    const NativeString folderPath = fileSystem_.FolderPath(SourcePath());
    std::unique_ptr<Folder> root = fileSystem_.OpenFolder(folderPath);
    rootPath_ = NativeString(TrimSpaces(folderPath));
    path_ = folderPath;
    if (HasLineBreak(path_)) {
        // Every line would carry the break: list nothing rather than a list
        // whose lines are not its files.
        summary.Add(ProblemKind::kLineBreakInName, path_, {});
    } else {
        WalkFolder(std::move(root), summary);
    }
    listFile_->Flush();
    return summary;
}

void ListGenerator::Form_Unload(bool* /*cancel*/) {
    if (listFile_ == nullptr) {
        return;
    }
    std::unique_ptr<ListFile> listFile = std::move(listFile_);
    listFile->Close();
}

namespace {

struct WalkLevel {
    std::unique_ptr<Folder> folder;
    std::size_t pathLength;
    bool filesDone;
};

bool IsOnChain(const std::vector<WalkLevel>& chain, const FolderId& id) {
    for (const WalkLevel& level : chain) {
        if (level.folder->Id() == id) {
            return true;
        }
    }
    return false;
}

}  // namespace

// Depth first, each folder's files before its subfolders. The chain of open
// folders is kept on the heap rather than the call stack, so that no depth of
// tree can overflow the stack. A failure in a folder's own steps ends that
// folder's walk only; its parent goes on with its next subfolder.
void ListGenerator::WalkFolder(std::unique_ptr<Folder> folder, ClickSummary& summary) {
    std::vector<WalkLevel> chain;
    chain.push_back(WalkLevel{std::move(folder), path_.size(), false});
    while (!chain.empty()) {
        WalkLevel& level = chain.back();
        path_.resize(level.pathLength);
        try {
            if (!level.filesDone) {
                WriteFileEntries(*level.folder, summary);
                level.filesDone = true;
                if (level.folder->SubFolderCount() == 0) {
                    chain.pop_back();
                    continue;
                }
            }
            NativeView name;
            if (!level.folder->NextSubFolder(&name)) {
                chain.pop_back();
                continue;
            }
            path_.push_back(kSeparator);
            path_.append(name);
            if (HasLineBreak(name)) {
                summary.Add(ProblemKind::kLineBreakInName, path_, {});
                continue;
            }
            std::unique_ptr<Folder> child;
            try {
                child = level.folder->OpenSubFolder(name, path_);
            } catch (const Error& error) {
                summary.Add(ProblemKind::kFolderIncomplete, path_, error.Description());
                continue;
            }
            if (IsOnChain(chain, child->Id())) {
                summary.Add(ProblemKind::kFolderLoop, path_, {});
                continue;
            }
            chain.push_back(WalkLevel{std::move(child), path_.size(), false});
        } catch (const Error& error) {
            path_.resize(chain.back().pathLength);
            summary.Add(ProblemKind::kFolderIncomplete, path_, error.Description());
            chain.pop_back();
        }
    }
}

void ListGenerator::WriteFileEntries(Folder& folder, ClickSummary& summary) {
    const std::size_t folderLength = path_.size();
    NativeView name;
    while (folder.NextFile(&name)) {
        path_.resize(folderLength);
        path_.push_back(kSeparator);
        path_.append(name);
        if (HasLineBreak(name)) {
            summary.Add(ProblemKind::kLineBreakInName, path_, {});
            continue;
        }
        WriteFileEntry(path_, summary);
    }
    path_.resize(folderLength);
}

void ListGenerator::WriteFileEntry(NativeView path, ClickSummary& summary) {
    const FileLinePieces line = FileLine(path, rootPath_);
    bool replaced = false;
    listFile_->HoldLine(line, &replaced);
    summary.CountLine();
    if (replaced) {
        summary.Add(ProblemKind::kNameNotInCodePage, path, {});
    }
    listFile_->WriteFullBlock();
}
