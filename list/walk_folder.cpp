#include <unordered_set>
#include <vector>

#include "builder_names.h"
#include "list_generator.h"
#include "obey_format.h"

namespace {

// How many names ahead of the walk a folder asks for the next name's memory:
// sorted, the names lie scattered over the arena.
constexpr std::size_t kPrefetchAhead = 8;

// How many files of one folder go by between two reports of progress.
constexpr std::size_t kFilesBetweenReports = 4096;

struct WalkLevel {
    FolderListing* folder;
    std::size_t pathLength;
    std::size_t nextFolder;
};

}  // namespace

// Depth first, each folder's files before its subfolders. The chain of open
// folders is kept on the heap rather than the call stack, so that no depth of
// tree can overflow the stack, and their identities in a set, so that a link
// back to one of them is found at once at any depth. A folder that cannot be
// opened or read in full is reported and the walk goes on with the next.
void ListGenerator::WalkFolder(FolderListing* folder, ReadAhead& ahead, ListFile& list,
                               ClickSummary& summary) {
    std::vector<WalkLevel> chain;
    std::unordered_set<FolderId, FolderIdHash> onChain;
    for (;;) {
        if (folder != nullptr) {
            WriteFolderFiles(*folder, list, summary);
            if (folder->error || folder->folders.Empty()) {
                ahead.Done(folder);
            } else {
                onChain.insert(folder->id);
                chain.push_back(WalkLevel{folder, path_.size(), 0});
            }
            folder = nullptr;
        }
        if (chain.empty()) {
            return;
        }
        WalkLevel& level = chain.back();
        if (level.nextFolder == level.folder->folders.Size()) {
            onChain.erase(level.folder->id);
            ahead.Done(level.folder);
            chain.pop_back();
            continue;
        }
        const std::size_t index = level.nextFolder++;
        const NativeView name = level.folder->folders.At(index);
        path_.resize(level.pathLength);
        path_.push_back(kSeparator);
        path_.append(name);
        if (LeavesOut(name)) {
            continue;
        }
        if (HasLineBreak(name)) {
            summary.Add(ProblemKind::kLineBreakInName, path_, {});
            continue;
        }
        if (HasQuote(name)) {
            summary.Add(ProblemKind::kQuoteInName, path_, {});
            continue;
        }
        if (ReadAsOther(name, false)) {
            summary.Add(ProblemKind::kBuilderName, path_, {}, readAs_);
            continue;
        }
        try {
            folder = ahead.OpenSubFolder(*level.folder, index);
        } catch (const Error& error) {
            summary.Add(ProblemKind::kFolderIncomplete, path_, error.Description());
            continue;
        }
        if (onChain.count(folder->id) != 0) {
            summary.Add(ProblemKind::kFolderLoop, path_, {});
            ahead.Done(folder);
            folder = nullptr;
        }
    }
}

// The folder's files, then what it holds that is neither file nor folder,
// then the error that cut its listing short: its subfolders are then skipped.
void ListGenerator::WriteFolderFiles(const FolderListing& folder, ListFile& list,
                                     ClickSummary& summary) {
    static const NameList kNoFolders;
    const std::size_t folderLength = path_.size();
    const bool ownFolder = exclusions_.IsOwnFolder(folder.id);
    clashFinder_.Start(folder.files, folder.error ? kNoFolders : folder.folders);
    for (std::size_t i = 0; i < folder.files.Size(); ++i) {
        folder.files.Prefetch(i + kPrefetchAhead);
        const NativeView name = folder.files.At(i);
        path_.resize(folderLength);
        path_.push_back(kSeparator);
        path_.append(name);
        const bool leftOut = LeavesOut(name, ownFolder);
        const bool readAsOther = !leftOut && ReadAsOther(name, true);
        leftOut || readAsOther ? clashFinder_.Skip() : clashFinder_.Add(name);
        if (leftOut) {
            // Neither listed nor reported.
        } else if (HasLineBreak(name)) {
            summary.Add(ProblemKind::kLineBreakInName, path_, {});
        } else if (HasQuote(name)) {
            summary.Add(ProblemKind::kQuoteInName, path_, {});
        } else if (readAsOther) {
            summary.Add(ProblemKind::kBuilderName, path_, {}, readAs_);
        } else {
            WriteFileEntry(path_, list, summary);
        }
        if ((i + 1) % kFilesBetweenReports == 0) {
            ReportProgress(summary);
        }
    }
    for (std::size_t i = 0; i < folder.others.Size(); ++i) {
        path_.resize(folderLength);
        path_.push_back(kSeparator);
        path_.append(folder.others.At(i));
        if (LeavesOut(folder.others.At(i), ownFolder)) {
            continue;
        }
        summary.Add(HasLineBreak(folder.others.At(i)) ? ProblemKind::kLineBreakInName
                                                      : ProblemKind::kNotRegularFile,
                    path_, {});
    }
    ReportClashes(folder, folderLength, summary);
    path_.resize(folderLength);
    if (folder.error) {
        summary.Add(ProblemKind::kFolderIncomplete, path_, folder.error->Description());
    }
    ReportProgress(summary);
}

// Both names stay listed, as the disk holds them: which one to rename is the
// user's choice. The files are in the finder already.
void ListGenerator::ReportClashes(const FolderListing& folder, std::size_t folderLength,
                                  ClickSummary& summary) {
    const std::size_t files = folder.files.Size();
    for (std::size_t i = 0; !folder.error && i < folder.folders.Size(); ++i) {
        path_.resize(folderLength);
        path_.push_back(kSeparator);
        path_.append(folder.folders.At(i));
        if (PatternsLeaveOut(folder.folders.At(i)) || NameReadAsOther(folder.folders.At(i))) {
            clashFinder_.Skip();
        } else {
            clashFinder_.Add(folder.folders.At(i));
        }
    }
    const auto name = [&](std::size_t entry) {
        return entry < files ? folder.files.At(entry) : folder.folders.At(entry - files);
    };
    for (const NameClashFinder::Clash& clash : clashFinder_.Clashes()) {
        path_.resize(folderLength);
        path_.push_back(kSeparator);
        NativeString earlier = path_ + NativeString(name(clash.earlier));
        path_.append(name(clash.later));
        summary.Add(ProblemKind::kNameClash, path_, {}, earlier);
    }
}

void ListGenerator::ReportProgress(const ClickSummary& summary) const {
    if (progress_ && !progress_(summary.LinesWritten())) {
        throw CancelledError();
    }
}

void ListGenerator::WriteFileEntry(NativeView path, ListFile& list, ClickSummary& summary) {
    BuildFileLine(path, rootPath_, rootNeedsQuotes_, line_);
    changes_.Listed(path.substr(rootPath_.size()));
    if (!list.WriteLine(line_)) {
        summary.Add(ProblemKind::kNameNotInCodePage, path, {});
    }
    summary.CountLine();
}
