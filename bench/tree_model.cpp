#include "tree_model.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace {

bool IsFolderLike(EntryKind kind) {
    return kind == EntryKind::kFolder || kind == EntryKind::kOutsideFolder ||
           kind == EntryKind::kRootLink;
}

int Pass(EntryKind kind) {
    if (IsFolderLike(kind)) {
        return 2;
    }
    return kind == EntryKind::kDanglingLink || kind == EntryKind::kFifo ? 1 : 0;
}

class ExpectedWalk {
  public:
    ExpectedWalk(const Tree& tree, std::string root,
                 const std::function<void(std::string_view)>& out,
                 std::vector<ModelProblem>& problems)
        : tree_(tree), root_(std::move(root)), out_(out), problems_(problems) {}

    void Folder(std::uint32_t index, bool replaced) {
        std::vector<const TreeEntry*> entries;
        for (const TreeEntry& entry : tree_.folders[index]) {
            entries.push_back(&entry);
        }
        std::sort(entries.begin(), entries.end(), [](const TreeEntry* a, const TreeEntry* b) {
            return ListedBefore(a->name, b->name);
        });
        // Files first, then what is neither file nor folder, then folders
        // and links to folders.
        for (int pass : {0, 1, 2}) {
            for (const TreeEntry* entry : entries) {
                if (Pass(entry->kind) == pass) {
                    const std::size_t imageLength = image_.size();
                    const std::size_t relativeLength = relative_.size();
                    image_.push_back(Host().separator);
                    relative_.append("/").append(entry->name);
                    Entry(*entry, !AppendListBytes(entry->name, image_) || replaced);
                    image_.resize(imageLength);
                    relative_.resize(relativeLength);
                }
            }
        }
    }

  private:
    // A name the list cannot hold is reported as such, whatever it names.
    void Entry(const TreeEntry& entry, bool replaced) {
        if (entry.name.find_first_of("\r\n") != std::string::npos) {
            problems_.push_back({ProblemKind::kLineBreakInName, relative_});
        } else if (entry.kind == EntryKind::kDanglingLink || entry.kind == EntryKind::kFifo) {
            problems_.push_back({ProblemKind::kNotRegularFile, relative_});
        } else if (entry.kind == EntryKind::kRootLink) {
            problems_.push_back({ProblemKind::kFolderLoop, relative_});
        } else if (IsFolderLike(entry.kind)) {
            Folder(entry.folder, replaced);
        } else {
            out_("file=" + root_ + image_ + "    " + image_ + "\r\n");
            if (replaced) {
                problems_.push_back({ProblemKind::kNameNotInCodePage, relative_});
            }
        }
    }

    const Tree& tree_;
    const std::string root_;
    const std::function<void(std::string_view)>& out_;
    std::vector<ModelProblem>& problems_;
    std::string image_;     // below the source folder, in the list's bytes
    std::string relative_;  // the same as given, for problems
};

}  // namespace

void ExpectedList(const Tree& tree, const std::string& source,
                  const std::function<void(std::string_view)>& out,
                  std::vector<ModelProblem>& problems) {
    out("rofsname=CG33.smg\r\nrofssize=0x40000000\r\n");
    std::string root;
    const bool replaced = !AppendListBytes(source, root);
    ExpectedWalk(tree, root, out, problems).Folder(0, replaced);
}

std::vector<ModelProblem> ProblemsOf(const ClickSummary& summary, NativeView source) {
    std::vector<ModelProblem> problems;
    for (const Problem& problem : summary.Kept()) {
        const std::filesystem::path relative(problem.path.substr(source.size()));
        problems.push_back({problem.kind, relative.generic_u8string()});
    }
    return problems;
}

void PrintTo(const ModelProblem& problem, std::ostream* out) {
    static const char* const kKinds[] = {"incomplete", "not in code page", "line break", "loop",
                                         "not a regular file"};
    *out << kKinds[static_cast<int>(problem.kind)] << " " << problem.relative;
}
