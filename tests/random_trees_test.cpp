// Many random trees of awkward names, links and empty folders: the list and
// the problems of each must equal what the model computes from the tree's
// description. OBEY_RANDOM_TREES sets how many (default 40), OBEY_RANDOM_SEED
// repeats a run.
#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include "file_system.h"
#include "list_generator.h"
#include "obey_format.h"
#include "tree_model.h"

namespace {

std::uint64_t SeedFromEnvironment() {
    if (const char* seed = std::getenv("OBEY_RANDOM_SEED")) {
        return std::strtoull(seed, nullptr, 10);
    }
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

int TreesFromEnvironment() {
    const char* count = std::getenv("OBEY_RANDOM_TREES");
    return count != nullptr ? std::atoi(count) : 40;
}

TEST(RandomTrees, ListEqualsTheModel) {
    const std::uint64_t seed = SeedFromEnvironment();
    const int trees = TreesFromEnvironment();
    std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
    for (int i = 0; i < trees; ++i) {
        std::mt19937_64 random(seed + static_cast<std::uint64_t>(i));
        const ModelFolder tree = RandomTree(random, HostNameRules(), 1 + (random() % 5));
        TestDirectory dir;
        BuildTree(tree, dir.Source());

        ListGenerator generator(*fileSystem, dir.Native(), 1 + random() % 512);
        generator.Form_Load();
        const ClickSummary summary = generator.Command1_Click();
        generator.Form_Unload();

        std::string lines;
        std::vector<ModelProblem> problems;
        ExpectedWalk(tree, dir, lines, problems);
        const std::string context =
            "tree " + std::to_string(i) + "; repeat with OBEY_RANDOM_SEED=" + std::to_string(seed);
        ASSERT_EQ(ReadBytes(dir.List()), HeaderBytes() + lines) << context;
        // The summary keeps the first of each kind with their paths, and
        // counts them all.
        std::vector<ModelProblem> kept;
        std::size_t counts[kProblemKindCount] = {};
        for (const ModelProblem& problem : problems) {
            if (counts[static_cast<std::size_t>(problem.kind)]++ < ClickSummary::kKeptPerKind) {
                kept.push_back(problem);
            }
        }
        ASSERT_EQ(ActualProblems(summary, dir), kept) << context;
        for (std::size_t kind = 0; kind < kProblemKindCount; ++kind) {
            ASSERT_EQ(summary.Count(static_cast<ProblemKind>(kind)), counts[kind]) << context;
        }
    }
}

}  // namespace
