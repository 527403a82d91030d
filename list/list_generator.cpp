#include "list_generator.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "builder_names.h"
#include "error.h"
#include "obey_format.h"
#include "pattern_file.h"

namespace {

// What a start without a click leaves: a list of nothing else must not push
// the last real list out of the backup.
bool HoldsOnlyHeader(ExistingFile& list, const std::string& header, std::string& start) {
    start.resize(header.size() + 1);
    std::size_t got = 0;
    while (got < start.size()) {
        const std::size_t more = list.Read(start.data() + got, start.size() - got);
        if (more == 0) {
            break;
        }
        got += more;
    }
    start.resize(got);
    return start == header;
}

// Out of memory is an error of the step, with the system's words for it.
template <typename Step>
auto WithMemoryAsError(Step step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

template <typename Sink>
void CopyRest(ExistingFile& from, Sink&& to) {
    std::string buffer(64 * 1024, '\0');
    while (const std::size_t got = from.Read(buffer.data(), buffer.size())) {
        to(std::string_view(buffer.data(), got));
    }
}

}  // namespace

ListPlaces ProgramDirectoryPlaces(NativeView programDirectory) {
    const NativeString directory(programDirectory);
    return {directory + kSourceFolderSuffix, directory + kListFileSuffix, HeaderBytes()};
}

NativeString BackupPathOf(NativeView list) {
    const std::size_t name = list.find_last_of(kSeparators) + 1;
    std::size_t extension = list.rfind('.');
    if (extension == NativeView::npos || extension <= name) {
        extension = list.size();
    }
    NativeString backup(list.substr(0, extension));
    backup.append({'_', 'b', 'a', 'k'});
    return backup.append(list.substr(extension));
}

ListGenerator::ListGenerator(ListPlaces places) : places_(std::move(places)) {}

void ListGenerator::Form_Load() {
    if (lock_ != nullptr) {
        throw InvalidArgumentError();
    }
    WithMemoryAsError([this] {
        Start start = Begin();
        ReplacementFile fresh(ListPath());
        fresh.Write(places_.header.data(), places_.header.size());
        CommitBoth(start.backup.get(), fresh);
        lock_ = std::move(start.lock);
    });
}

ClickSummary ListGenerator::Command1_Click() {
    if (lock_ == nullptr) {
        throw InvalidArgumentError();
    }
    return WithMemoryAsError([this] {
        ReadExcludeFile();
        earlierList_ = pressed_ ? ListPath() : BackupPath();
        earlierIsLastListing_ = pressed_;
        ClickSummary summary = Click(nullptr);
        pressed_ = true;
        return summary;
    });
}

ClickSummary ListGenerator::ListOnce() {
    if (lock_ != nullptr) {
        throw InvalidArgumentError();
    }
    return WithMemoryAsError([this] {
        // A source no list can carry fails before the backup is touched, as
        // does a pattern file that cannot be read.
        FullSourcePath();
        ReadExcludeFile();
        const Start start = Begin();
        // The last real list: one of the header alone stays out of the backup.
        earlierList_ = start.backup != nullptr ? ListPath() : BackupPath();
        return Click(start.backup.get());
    });
}

// Takes the lock and removes the backup's leftover, checks what stands in
// the list's and backup's places, and writes the backup the list calls for,
// uncommitted: nothing on disk has changed yet. The list's own leftover goes
// when its replacement is made. A start that fails lets the lock go with it.
ListGenerator::Start ListGenerator::Begin() {
    places_.list = FullPath(places_.list);
    auto lock = std::make_unique<ListLock>(places_.list);
    KnowOwnFiles(*lock);
    RemoveLeftover(BackupPath() + kTemporarySuffix);
    std::optional<ExistingFile> list = ExistingFile::Open(ListPath());
    ExistingFile::Open(BackupPath());
    std::string head;
    std::unique_ptr<ReplacementFile> backup;
    if (list && !HoldsOnlyHeader(*list, places_.header, head)) {
        backup = std::make_unique<ReplacementFile>(BackupPath());
        backup->Write(head.data(), head.size());
        CopyRest(*list, [&](std::string_view bytes) { backup->Write(bytes.data(), bytes.size()); });
    }
    // The list is closed here: Windows replaces no file that is open,
    // whatever its sharing.
    return Start{std::move(lock), std::move(backup)};
}

// The list anew: the header and this click's listing, never an earlier
// click's lines, which the builder would read as every file twice; then the
// backup, if one is given, and the list put in place.
ClickSummary ListGenerator::Click(ReplacementFile* backup) {
    ClickSummary summary(observer_);
    FolderWalk walk(WalkRoot(), readAheadThreads_);
    ReplacementFile file(ListPath());
    ListFile list(file);
    list.WriteBytes(places_.header);
    ListTree(walk, list, summary);
    CommitBoth(backup, file);
    return summary;
}

// Both on the disk before either takes its name, so that a failure to flush
// or close the list leaves the backup as it was too.
void ListGenerator::CommitBoth(ReplacementFile* backup, ReplacementFile& list) {
    if (backup != nullptr) {
        backup->Close();
    }
    list.Close();
    if (backup != nullptr) {
        backup->Commit();
    }
    list.Commit();
}

ClickSummary ListGenerator::ListToStandardOutput() {
    return WithMemoryAsError([this] {
        ReadExcludeFile();
        ClickSummary summary(observer_);
        FolderWalk walk(WalkRoot(), readAheadThreads_);
        StandardOutput out;
        ListFile list(out);
        list.WriteBytes(places_.header);
        ListTree(walk, list, summary);
        return summary;
    });
}

// The source folder's full path, where the walk starts and every image path
// is cut.
const NativeString& ListGenerator::WalkRoot() {
    rootPath_ = FullSourcePath();
    // Not trimmed: a full path begins with a separator or a drive, and a
    // source folder whose name ends in a space keeps it, so that the image
    // paths are cut after it.
    rootNeedsQuotes_ = NeedsQuotes(rootPath_);
    path_ = rootPath_;
    return rootPath_;
}

void ListGenerator::ExcludeFrom(NativeView path) {
    const std::optional<std::string> bytes = ReadPatternFile(path);
    if (!bytes) {
        throw MissingFolderError().At(path);
    }
    AddPatternFile(*bytes, path);
    givenPatterns_ = exclusions_.PatternCount();
}

// Each pattern known by the file's name and its line, "ROFS.exclude:3".
void ListGenerator::AddPatternFile(const std::string& bytes, NativeView shownAs) {
    for (const FilePattern& pattern : ParsePatternFile(bytes)) {
        NativeString origin(shownAs);
        origin.push_back(':');
        for (const char digit : std::to_string(pattern.line)) {
            origin.push_back(static_cast<NativeChar>(digit));
        }
        exclusions_.AddPattern(pattern.pattern, std::move(origin));
    }
}

// ROFS.exclude beside the list, as it stands at this click: its patterns of
// an earlier click go, whatever the file holds now.
void ListGenerator::ReadExcludeFile() {
    exclusions_.KeepPatterns(givenPatterns_);
    const NativeString path = ExcludeFileBeside(ListPath());
    const std::optional<std::string> bytes = ReadPatternFile(path);
    if (bytes) {
        AddPatternFile(*bytes, NativeView(path).substr(path.size() - kExcludeFileName.size()));
    }
}

// The list, the backup, their temporary files and the lock, known by the
// identity of their folder: the source may reach it by another path, and a
// file of the same name elsewhere is the user's.
void ListGenerator::KnowOwnFiles(const ListLock& lock) {
    std::vector<NativeString> names;
    for (const NativeString& path : {ListPath(), BackupPath(), lock.Path()}) {
        if (!path.empty()) {
            names.emplace_back(path.substr(path.find_last_of(kSeparators) + 1));
            names.push_back(names.back() + kTemporarySuffix);
        }
    }
    exclusions_.SetOwnFiles(FolderIdentity(FolderOf(ListPath())), std::move(names));
}

// Whether name, a file or other entry of a folder that is the list's own
// (ownFolder) or not, is left out: as the program's own file, or by the
// user's patterns.
bool ListGenerator::LeavesOut(NativeView name, bool ownFolder) {
    return (ownFolder && exclusions_.IsOwnFile(name)) || LeavesOut(name);
}

// Whether the user's patterns leave out name, the last step of the path
// being walked; counted, as the walk asks once an entry.
bool ListGenerator::LeavesOut(NativeView name) {
    return exclusions_.HasPatterns() && exclusions_.Excludes(name, RelativeTo(path_));
}

// Whether the user's patterns leave out name, the last step of the full path
// path; uncounted, as the walk asks it of a folder more than once.
bool ListGenerator::ExcludedAt(NativeView name, NativeView path) const {
    return exclusions_.HasPatterns() && exclusions_.ExcludesUncounted(name, RelativeTo(path));
}

// path below the source folder, without a leading separator.
NativeView ListGenerator::RelativeTo(NativeView path) const {
    NativeView relative(path);
    relative.remove_prefix(std::min(rootPath_.size(), relative.size()));
    relative.remove_prefix(std::min(relative.find_first_not_of(kSeparator), relative.size()));
    return relative;
}

// Every line would carry the source folder's path: one that no list can
// carry fails the click before anything is written.
NativeString ListGenerator::FullSourcePath() const {
    NativeString source = FullPath(SourcePath());
    if (HasLineBreak(source) || HasQuote(source) || SourcePathReadAsOther(source)) {
        throw UnlistablePathError().At(source);
    }
    return source;
}

// Whether the builder reads the entry at path_, a file or folder of this
// name, as another (builder_names.h); readAs_ then says what it reads.
bool ListGenerator::ReadAsOther(NativeView name, bool file) {
    if (NameReadAsOther(name)) {
        readAs_ = PathAsRead(path_);
        return true;
    }
    return file && FilePathReadAsOther(path_, readAs_);
}

void ListGenerator::Form_Unload() {
    lock_.reset();
}
