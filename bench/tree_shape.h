#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tree_model.h"

// What a benchmark tree looks like. The source folder itself counts among the
// folders.
struct TreeRecipe {
    std::string_view kind;
    std::size_t files;
    std::size_t folders;
    // Random trees: each new folder goes under a random folder above this
    // depth, each file into a random folder. Zero means a chain instead: one
    // folder under the other, one file in each below the source folder.
    int maxDepth;
};

// The known kinds; nullptr for a name that is none of them.
const TreeRecipe* FindTreeRecipe(std::string_view kind);

std::string TreeKindNames();

Tree BuildTree(const TreeRecipe& recipe, std::uint64_t seed);
