#include "tree_shape.h"

#include <unordered_set>

#include "tree_names.h"

namespace {

constexpr TreeRecipe kRecipes[] = {
    {"small", 20000, 2000, 5},
    {"large", 200000, 20000, 5},
    {"wide", 100000, 1, 1},
    {"deep", 2000, 2001, 0},
    // Seconds-long stand-ins for the quick run; the chain still passes
    // PATH_MAX, as even 600 of the shortest names do.
    {"tiny", 400, 60, 5},
    {"tiny-wide", 3000, 1, 1},
    {"tiny-deep", 600, 601, 0},
};

// Names are unique within a folder, files and subfolders alike.
class FolderNames {
  public:
    std::string Fresh(SeededRandom& random) {
        for (;;) {
            std::string name = RandomName(random);
            if (taken_.insert(name).second) {
                return name;
            }
        }
    }

  private:
    std::unordered_set<std::string> taken_;
};

}  // namespace

const TreeRecipe* FindTreeRecipe(std::string_view kind) {
    for (const TreeRecipe& recipe : kRecipes) {
        if (recipe.kind == kind) {
            return &recipe;
        }
    }
    return nullptr;
}

std::string TreeKindNames() {
    std::string names;
    for (const TreeRecipe& recipe : kRecipes) {
        names.append(names.empty() ? "" : ", ").append(recipe.kind);
    }
    return names;
}

Tree BuildTree(const TreeRecipe& recipe, std::uint64_t seed) {
    SeededRandom random(seed);
    Tree tree;
    tree.folders.resize(recipe.folders);
    std::vector<FolderNames> names(recipe.folders);
    std::vector<int> depth(recipe.folders, 0);
    // Folders that may still take a subfolder.
    std::vector<std::uint32_t> open{0};
    for (std::uint32_t i = 1; i < recipe.folders; ++i) {
        const std::uint32_t parent = recipe.maxDepth == 0 ? i - 1 : open[random.Below(open.size())];
        tree.folders[parent].push_back({names[parent].Fresh(random), EntryKind::kFolder, i});
        depth[i] = depth[parent] + 1;
        if (depth[i] < recipe.maxDepth) {
            open.push_back(i);
        }
    }
    for (std::size_t i = 0; i < recipe.files; ++i) {
        const std::size_t folder = recipe.maxDepth == 0 ? 1 + i : random.Below(recipe.folders);
        tree.folders[folder].push_back({names[folder].Fresh(random), EntryKind::kFile, 0});
    }
    return tree;
}
