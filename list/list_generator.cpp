#include "list_generator.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "error.h"
#include "obey_format.h"

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
        if (start.backup != nullptr) {
            start.backup->Commit();
        }
        ReplacementFile fresh(ListPath());
        fresh.Write(places_.header.data(), places_.header.size());
        fresh.Commit();
        lock_ = std::move(start.lock);
    });
}

ClickSummary ListGenerator::Command1_Click() {
    if (lock_ == nullptr) {
        throw InvalidArgumentError();
    }
    return WithMemoryAsError([this] { return Click(false, nullptr); });
}

ClickSummary ListGenerator::ListOnce() {
    if (lock_ != nullptr) {
        throw InvalidArgumentError();
    }
    return WithMemoryAsError([this] {
        // A source no list can carry fails before the backup is touched.
        FullSourcePath();
        const Start start = Begin();
        return Click(true, start.backup.get());
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

// The list anew: the header, the earlier clicks unless afresh, this click's
// listing; then the backup, if one is given, and the list put in place.
ClickSummary ListGenerator::Click(bool afresh, ReplacementFile* backup) {
    ClickSummary summary(observer_);
    FolderWalk walk(WalkRoot(), readAheadThreads_);
    ReplacementFile file(ListPath());
    ListFile list(file);
    if (afresh) {
        list.WriteBytes(places_.header);
    } else {
        CopyCurrentList(list);
    }
    ListTree(walk, list, summary);
    if (backup != nullptr) {
        backup->Commit();
    }
    file.Commit();
    return summary;
}

ClickSummary ListGenerator::ListToStandardOutput() {
    return WithMemoryAsError([this] {
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
bool ListGenerator::LeavesOut(NativeView name, bool ownFolder) const {
    return (ownFolder && exclusions_.IsOwnFile(name)) || LeavesOut(name);
}

// Whether the user's patterns leave out name, the last step of the path
// being walked.
bool ListGenerator::LeavesOut(NativeView name) const {
    return ExcludedAt(name, path_);
}

// Whether the user's patterns leave out name, the last step of the full
// path path.
bool ListGenerator::ExcludedAt(NativeView name, NativeView path) const {
    if (!exclusions_.HasPatterns()) {
        return false;
    }
    NativeView relative(path);
    relative.remove_prefix(std::min(rootPath_.size(), relative.size()));
    relative.remove_prefix(std::min(relative.find_first_not_of(kSeparator), relative.size()));
    return exclusions_.Excludes(name, relative);
}

// Every line would carry the source folder's path: one that no list can
// carry fails the click before anything is written.
NativeString ListGenerator::FullSourcePath() const {
    NativeString source = FullPath(SourcePath());
    if (HasLineBreak(source) || HasQuote(source)) {
        throw UnlistablePathError().At(source);
    }
    return source;
}

// The clicks before this one: the list as it stands, or the header alone when
// something removed it meanwhile.
void ListGenerator::CopyCurrentList(ListFile& list) {
    std::optional<ExistingFile> current = ExistingFile::Open(ListPath());
    if (!current) {
        list.WriteBytes(places_.header);
        return;
    }
    CopyRest(*current, [&](std::string_view bytes) { list.WriteBytes(bytes); });
}

void ListGenerator::Form_Unload(bool* /*cancel*/) {
    lock_.reset();
}
