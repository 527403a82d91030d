#include <utility>

#include "builder_names.h"
#include "list_generator.h"
#include "obey_format.h"

namespace {

// How many names ahead of the walk a folder asks for the next name's memory:
// sorted, the names lie scattered over the arena.
constexpr std::size_t kPrefetchAhead = 8;

// How many files of one folder go by between two reports of progress.
constexpr std::size_t kFilesBetweenReports = 4096;

}  // namespace

// The walk's folders, each one's files written as it comes to it.
void ListGenerator::ListTree(FolderWalk& walk, ListFile& list, ClickSummary& summary) {
    struct Lister final : FolderWalk::Visitor {
        ListGenerator& generator;
        ListFile& list;
        ClickSummary& summary;
        Lister(ListGenerator& g, ListFile& l, ClickSummary& s)
            : generator(g), list(l), summary(s) {}
        FolderVerdict Judge(NativeView name, NativeView path) override {
            return generator.JudgeFolder(name, path);
        }
        void Visit(const FolderListing& folder, NativeView path) override {
            generator.path_.assign(path);
            generator.WriteFolderFiles(folder, list, summary);
        }
        void Report(ProblemKind kind, NativeView path, const std::string& reason) override {
            if (kind == ProblemKind::kBuilderName) {
                summary.Add(kind, path, reason, PathAsRead(path));
            } else {
                summary.Add(kind, path, reason);
            }
        }
    } lister(*this, list, summary);
    // The earlier list is read beside the walk, so that the comparison costs
    // the click little more than a hash a file.
    changes_.Start(std::exchange(earlierList_, {}), std::exchange(earlierIsLastListing_, false));
    exclusions_.StartCounting();
    try {
        walk.Run(lister);
        list.Flush();
    } catch (...) {
        changes_.Abandon();
        throw;
    }
    summary.SetChanges(changes_.Finish());
    summary.SetLeftOut(exclusions_.PatternCount(), exclusions_.LeftOut(),
                       exclusions_.IdlePatterns());
}

// Whether the walk enters the subfolder name at the full path path, and why
// not: the one decision, both for what is read ahead and where the walk
// goes. A folder left out leaves out everything beneath it.
FolderVerdict ListGenerator::JudgeFolder(NativeView name, NativeView path) const {
    if (ExcludedAt(name, path)) {
        return {false, std::nullopt};
    }
    if (HasLineBreak(name)) {
        return {false, ProblemKind::kLineBreakInName};
    }
    if (HasQuote(name)) {
        return {false, ProblemKind::kQuoteInName};
    }
    if (NameReadAsOther(name)) {
        return {false, ProblemKind::kBuilderName};
    }
    return {};
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
        // Counted here, once a folder; the walk's judgement is not.
        if (LeavesOut(folder.folders.At(i)) || NameReadAsOther(folder.folders.At(i))) {
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
