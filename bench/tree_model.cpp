#include "tree_model.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "builder_names.h"
#include "obey_reader.h"

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
                 std::vector<ModelProblem>& problems, std::vector<ListedFile>* files)
        : tree_(tree), root_(std::move(root)), out_(out), problems_(problems), files_(files) {}

    void Folder(std::uint32_t index, bool replaced) {
        std::vector<const TreeEntry*> entries;
        for (const TreeEntry& entry : tree_.folders[index]) {
            entries.push_back(&entry);
        }
        std::sort(entries.begin(), entries.end(), [](const TreeEntry* a, const TreeEntry* b) {
            return ListedBefore(a->name, b->name);
        });
        // Files first, then what is neither file nor folder, then folders
        // and links to folders; the clashes among files and folders before
        // the walk goes down.
        for (int pass : {0, 1, 2}) {
            if (pass == 2) {
                Clashes(entries);
            }
            for (const TreeEntry* entry : entries) {
                if (Pass(entry->kind) == pass) {
                    const std::size_t imageLength = image_.size();
                    const std::size_t relativeLength = relative_.size();
                    relative_.append("/").append(entry->name);
                    Entry(*entry, replaced);
                    image_.resize(imageLength);
                    relative_.resize(relativeLength);
                }
            }
        }
    }

  private:
    // The builder takes names for equal when their list bytes are, ASCII
    // letters without case; each later one is reported.
    void Clashes(const std::vector<const TreeEntry*>& entries) {
        std::vector<std::pair<std::string, const TreeEntry*>> seen;
        for (int pass : {0, 2}) {
            for (const TreeEntry* entry : entries) {
                if (Pass(entry->kind) != pass || !Listable(entry->name) || ReadAsOther(*entry)) {
                    continue;
                }
                std::string bytes;
                AppendListBytes(entry->name, bytes);
                for (char& c : bytes) {
                    c = FoldAscii(c);
                }
                const auto first = std::find_if(seen.begin(), seen.end(),
                                                [&](const auto& s) { return s.first == bytes; });
                if (first != seen.end()) {
                    problems_.push_back({ProblemKind::kNameClash, relative_ + "/" + entry->name,
                                         relative_ + "/" + first->second->name});
                } else {
                    seen.push_back({bytes, entry});
                }
            }
        }
    }

    static bool Listable(const std::string& name) {
        return name.find_first_of("\r\n\"") == std::string::npos;
    }

    // Whether the builder reads an entry of the folder being walked as
    // another: its name, on the host's builder; a file's whole host path, by
    // its version braces, where the rewrite opens another file (on Windows,
    // hex digits in lower case open the same one).
    bool ReadAsOther(const TreeEntry& entry) const {
        const bool windows = Host().separator == '\\';
        if (windows ? WindowsNameReadAsOther(std::string_view(entry.name))
                    : LinuxNameReadAsOther(entry.name)) {
            return true;
        }
        if (Pass(entry.kind) != 0) {
            return false;
        }
        std::string host = root_ + image_ + Host().separator;
        AppendListBytes(entry.name, host);
        std::string rewritten;
        if (!RewriteVersion<char>(host, rewritten)) {
            return false;
        }
        if (windows) {
            return !EqualFolded<char>(host, rewritten);
        }
        return rewritten != host;
    }

    // A name the list cannot hold is reported as such, whatever it names.
    void Entry(const TreeEntry& entry, bool replaced) {
        const bool fileOrFolder = Pass(entry.kind) != 1;
        const bool readAsOther = fileOrFolder && ReadAsOther(entry);
        image_.push_back(Host().separator);
        replaced = !AppendListBytes(entry.name, image_) || replaced;
        if (entry.name.find_first_of("\r\n") != std::string::npos) {
            problems_.push_back({ProblemKind::kLineBreakInName, relative_});
        } else if (fileOrFolder && !Listable(entry.name)) {
            problems_.push_back({ProblemKind::kQuoteInName, relative_});
        } else if (readAsOther) {
            problems_.push_back({ProblemKind::kBuilderName, relative_});
        } else if (entry.kind == EntryKind::kDanglingLink || entry.kind == EntryKind::kFifo) {
            problems_.push_back({ProblemKind::kNotRegularFile, relative_});
        } else if (entry.kind == EntryKind::kRootLink) {
            problems_.push_back({ProblemKind::kFolderLoop, relative_});
        } else if (IsFolderLike(entry.kind)) {
            Folder(entry.folder, replaced);
        } else {
            out_(ExpectedFileLine(root_ + image_, image_));
            if (files_ != nullptr) {
                files_->push_back({root_ + image_, image_});
            }
            if (replaced) {
                problems_.push_back({ProblemKind::kNameNotInCodePage, relative_});
            }
        }
    }

    const Tree& tree_;
    const std::string root_;
    const std::function<void(std::string_view)>& out_;
    std::vector<ModelProblem>& problems_;
    std::vector<ListedFile>* files_;
    std::string image_;     // below the source folder, in the list's bytes
    std::string relative_;  // the same as given, for problems
};

}  // namespace

std::string ExpectedFileLine(const std::string& host, const std::string& image) {
    const auto word = [](const std::string& path) {
        return path.find_first_of(" \t=") == std::string::npos ? path : '"' + path + '"';
    };
    return "file=" + word(host) + "    " + word(image) + "\r\n";
}

void ExpectedList(const Tree& tree, const std::string& source,
                  const std::function<void(std::string_view)>& out,
                  std::vector<ModelProblem>& problems, std::vector<ListedFile>* files) {
    out(kExpectedHeader);
    std::string root;
    const bool replaced = !AppendListBytes(source, root);
    ExpectedWalk(tree, root, out, problems, files).Folder(0, replaced);
}

std::vector<ModelProblem> ProblemsOf(const ClickSummary& summary, NativeView source) {
    std::vector<ModelProblem> problems;
    for (const Problem& problem : summary.Kept()) {
        const std::filesystem::path relative(problem.path.substr(source.size()));
        // What the builder reads for a name is the unit tests' to check.
        const bool path = !problem.other.empty() && problem.kind != ProblemKind::kBuilderName;
        const std::filesystem::path other(path ? problem.other.substr(source.size())
                                               : NativeString());
        problems.push_back({problem.kind, relative.generic_u8string(), other.generic_u8string()});
    }
    return problems;
}

void PrintTo(const ModelProblem& problem, std::ostream* out) {
    static const char* const kKinds[] = {"incomplete", "not in code page",   "line break",
                                         "loop",       "not a regular file", "quote",
                                         "name clash", "builder name"};
    *out << kKinds[static_cast<int>(problem.kind)] << " " << problem.relative << " "
         << problem.other;
}

void PrintTo(const ListedFile& file, std::ostream* out) {
    *out << "[" << file.host << "] [" << file.image << "]";
}
