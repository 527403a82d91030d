// make_trees KIND DIR [SEED]: builds a benchmark tree as a program directory:
// DIR/ROFS holds the tree, DIR/expected.obey the list a walk of it must give,
// and DIR/tree.done, written last, tells that the tree is whole.

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "tree_model.h"
#include "tree_shape.h"

namespace {

constexpr unsigned long long kDefaultSeed = 20240611;

// Writes the list a walk of the tree must give; the tree has no problems.
void WriteExpectedList(const Tree& tree, const std::string& directory) {
    const std::string path = directory + "/expected.obey";
    std::FILE* list = std::fopen(path.c_str(), "wb");
    std::vector<ModelProblem> problems;
    if (list != nullptr) {
        ExpectedList(
            tree, directory + "/ROFS",
            [list](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), list); },
            problems);
    }
    if (list == nullptr || std::ferror(list) || std::fclose(list) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

int Usage() {
    std::fputs("usage: make_trees KIND DIR [SEED] | header | lines ROOT SEP FILE...\n", stderr);
    std::fprintf(stderr, "kinds: %s\n", TreeKindNames().c_str());
    return 2;
}

// The list's header, or the lines of files named with "/" below ROOT; fails
// with standard output, so that no suite compares with lines cut short.
int PrintExpected(int argc, char** argv) {
    std::string out(argc == 1 ? kExpectedHeader : "");
    for (int i = 3; i < argc; ++i) {
        std::string image = argv[2] + std::string(argv[i]);
        std::replace(image.begin(), image.end(), '/', argv[2][0]);
        out += ExpectedFileLine(argv[1] + image, image);
    }
    return std::fputs(out.c_str(), stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 2 && argv[1] == std::string_view("header")) ||
        (argc > 3 && argv[1] == std::string_view("lines") &&
         std::string_view(argv[3]).size() == 1)) {
        return PrintExpected(argc - 1, argv + 1);
    }
    if (argc < 3 || argc > 4) {
        return Usage();
    }
    const TreeRecipe* recipe = FindTreeRecipe(argv[1]);
    if (recipe == nullptr) {
        return Usage();
    }
    const unsigned long long seed = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : kDefaultSeed;
    try {
        if (::mkdir(argv[2], 0755) != 0) {
            std::perror(argv[2]);
            return 1;
        }
        // The list holds the path as the program sees it: full and without links.
        char full[PATH_MAX];
        if (::realpath(argv[2], full) == nullptr) {
            std::perror(argv[2]);
            return 1;
        }
        const std::string directory = full;
        const Tree tree = BuildTree(*recipe, seed);
        WriteTree(tree, directory);
        WriteExpectedList(tree, directory);
        std::FILE* done = std::fopen((directory + "/tree.done").c_str(), "w");
        if (done == nullptr ||
            std::fprintf(done, "%.*s %llu %zu %zu\n", static_cast<int>(recipe->kind.size()),
                         recipe->kind.data(), seed, recipe->files, recipe->folders) < 0 ||
            std::fclose(done) != 0) {
            std::perror("tree.done");
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_trees: %s\n", error.what());
        return 1;
    }
    return 0;
}
