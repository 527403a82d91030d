#include "tree_model.h"

#include <algorithm>
#include <set>

namespace {

std::string RandomName(std::mt19937_64& random, const NameRules& rules,
                       std::set<std::string>& taken) {
    for (;;) {
        std::string name;
        const int pieces = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < pieces; ++i) {
            name += rules.alphabet[random() % rules.alphabet.size()];
        }
        if (name == "." || name == ".." || name.back() == ' ' || name.back() == '.') {
            continue;  // names Windows cannot hold, kept out on every host
        }
        std::string key = name;
        if (rules.caseInsensitive) {
            std::transform(key.begin(), key.end(), key.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
        }
        if (taken.insert(key).second) {
            return name;
        }
    }
}

std::string Join(const std::string& relative, const std::string& name) {
    return relative.empty() ? name : relative + "/" + name;
}

void Walk(const ModelFolder& folder, const std::string& relative, const NameRules& rules,
          std::vector<std::string>& files, std::vector<ModelProblem>& problems) {
    std::vector<std::string> names = folder.files;
    names.insert(names.end(), folder.danglingLinks.begin(), folder.danglingLinks.end());
    std::sort(names.begin(), names.end(), ListedBefore);
    for (const std::string& name : names) {
        if (rules.LineBreakIn(name)) {
            problems.push_back({ProblemKind::kLineBreakInName, "/" + Join(relative, name)});
        } else {
            files.push_back(Join(relative, name));
            if (rules.notInCodePage(Join(relative, name))) {
                problems.push_back({ProblemKind::kNameNotInCodePage, "/" + Join(relative, name)});
            }
        }
    }
    std::vector<std::pair<std::string, const ModelFolder*>> subfolders;
    for (const auto& [name, child] : folder.folders) {
        subfolders.emplace_back(name, &child);
    }
    for (const std::string& name : folder.loopLinks) {
        subfolders.emplace_back(name, nullptr);
    }
    std::sort(subfolders.begin(), subfolders.end(),
              [](const auto& a, const auto& b) { return ListedBefore(a.first, b.first); });
    for (const auto& [name, child] : subfolders) {
        const std::string path = Join(relative, name);
        if (rules.LineBreakIn(name)) {
            problems.push_back({ProblemKind::kLineBreakInName, "/" + path});
        } else if (child == nullptr) {
            problems.push_back({ProblemKind::kFolderLoop, "/" + path});
        } else {
            Walk(*child, path, rules, files, problems);
        }
    }
}

}  // namespace

bool NameRules::LineBreakIn(const std::string& name) const {
    return name.find_first_of("\r\n") != std::string::npos;
}

ModelFolder RandomTree(std::mt19937_64& random, const NameRules& rules, int depth) {
    ModelFolder folder;
    std::set<std::string> taken;
    const int files = static_cast<int>(random() % 7);
    for (int i = 0; i < files; ++i) {
        folder.files.push_back(RandomName(random, rules, taken));
    }
    const int folders = depth > 0 ? static_cast<int>(random() % 4) : 0;
    for (int i = 0; i < folders; ++i) {
        const std::string name = RandomName(random, rules, taken);
        folder.folders.emplace_back(name, RandomTree(random, rules, depth - 1 - (random() % 2)));
    }
    if (rules.linksAvailable && random() % 5 == 0) {
        folder.loopLinks.push_back(RandomName(random, rules, taken));
    }
    if (rules.linksAvailable && random() % 5 == 0) {
        folder.danglingLinks.push_back(RandomName(random, rules, taken));
    }
    return folder;
}

void BuildTree(const ModelFolder& tree, const fs::path& where, const fs::path& source) {
    fs::create_directories(where);
    for (const std::string& name : tree.files) {
        WriteBytes(where / NamePath(name), name);
    }
    for (const auto& [name, child] : tree.folders) {
        BuildTree(child, where / NamePath(name), source);
    }
    for (const std::string& name : tree.loopLinks) {
        MakeLink(source, where / NamePath(name));
    }
    for (const std::string& name : tree.danglingLinks) {
        MakeLink(where / "no such target", where / NamePath(name));
    }
}

void BuildTree(const ModelFolder& tree, const fs::path& where) {
    BuildTree(tree, where, where);
}

void ExpectedWalk(const ModelFolder& tree, const TestDirectory& dir, std::string& lines,
                  std::vector<ModelProblem>& problems) {
    std::vector<std::string> files;
    Walk(tree, "", HostNameRules(), files, problems);
    lines = ExpectedLines(dir, files);
}

void PrintTo(const ModelProblem& problem, std::ostream* out) {
    static const char* const kKinds[] = {"incomplete", "not in code page", "line break", "loop"};
    *out << kKinds[static_cast<int>(problem.kind)] << " " << problem.relative;
}

std::vector<ModelProblem> ActualProblems(const ClickSummary& summary, const TestDirectory& dir) {
    std::vector<ModelProblem> problems;
    const NativeString root = dir.Source().native();
    for (const Problem& problem : summary.Kept()) {
        NativeString relative = problem.path.substr(root.size());
        std::replace(relative.begin(), relative.end(), kSeparator, static_cast<NativeChar>('/'));
        problems.push_back({problem.kind, fs::path(relative).u8string()});
    }
    return problems;
}
