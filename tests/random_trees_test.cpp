// Many random trees of awkward names, links, FIFOs and empty folders: the list
// and the problems of each must equal what the model computes from the tree's
// description. OBEY_RANDOM_TREES sets how many (default 40), OBEY_RANDOM_SEED
// repeats a run.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "builder_names.h"
#include "list_generator.h"
#include "obey_reader.h"
#include "test_tree.h"
#include "tree_model.h"

namespace {

// Names are unique in the host's sense: on Windows, apart from case.
using Names = std::set<std::string, bool (*)(const std::string&, const std::string&)>;

std::string RandomName(std::mt19937_64& random, Names& taken) {
    const std::vector<std::string>& pieces = Host().awkwardPieces;
    for (;;) {
        // Names that begin as a sibling's test the order past their first
        // bytes; a sibling's in other case, where the host tells them apart,
        // the names the builder takes for one.
        std::string name = !taken.empty() && random() % 3 == 0
                               ? *std::next(taken.begin(), long(random() % taken.size()))
                               : "";
        if (!name.empty() && Host().separator == '/' && random() % 3 == 0) {
            for (char& c : name) {
                c = std::isalpha(static_cast<unsigned char>(c)) && random() % 2 == 0 ? c ^ 0x20 : c;
            }
            if (taken.insert(name).second) {
                return name;
            }
        }
        for (int count = 1 + static_cast<int>(random() % 12); count > 0; --count) {
            name += pieces[random() % pieces.size()];
        }
        // "." and ".." are no names, nor is one too long for a folder entry.
        // Windows names end in neither "." nor a space: the tests' own
        // clean-up opens them the ordinary way (the cli suite's Wine case
        // lists such names).
        const bool windows = Host().separator == '\\';
        if (name.find_first_not_of('.') != std::string::npos &&
            !(windows && (name.back() == ' ' || name.back() == '.')) && name.size() < 200 &&
            taken.insert(name).second) {
            return name;
        }
    }
}

std::uint32_t RandomFolder(std::mt19937_64& random, int depth, Tree& tree) {
    const auto index = static_cast<std::uint32_t>(tree.folders.size());
    tree.folders.emplace_back();
    Names taken(ListedBefore);
    // Now and then a folder large enough to be sorted in buckets.
    const int files = static_cast<int>(random() % 20 == 0 ? 65 + random() % 100 : random() % 7);
    for (int file = 0; file < files; ++file) {
        tree.folders[index].push_back({RandomName(random, taken), EntryKind::kFile, 0});
    }
    // Now and then many subfolders, read side by side.
    const int folders = depth <= 0 ? 0 : static_cast<int>(random() % 20 == 0 ? 12 : random() % 4);
    for (int folder = 0; folder < folders; ++folder) {
        const EntryKind kind = Host().linksAndFifos && random() % 4 == 0 ? EntryKind::kOutsideFolder
                                                                         : EntryKind::kFolder;
        std::string name = RandomName(random, taken);
        const std::uint32_t child = RandomFolder(random, depth - 1 - int(random() % 2), tree);
        tree.folders[index].push_back({std::move(name), kind, child});
    }
    for (EntryKind kind :
         {EntryKind::kFileLink, EntryKind::kDanglingLink, EntryKind::kFifo, EntryKind::kRootLink}) {
        if (Host().linksAndFifos && random() % 5 == 0) {
            tree.folders[index].push_back({RandomName(random, taken), kind, 0});
        }
    }
    return index;
}

std::uint64_t FromEnvironment(const char* name, std::uint64_t otherwise) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtoull(text, nullptr, 10) : otherwise;
}

TEST(RandomTrees, ListAndProblemsEqualTheModel) {
    const std::uint64_t seed = FromEnvironment("OBEY_RANDOM_SEED", std::random_device()());
    const std::uint64_t trees = FromEnvironment("OBEY_RANDOM_TREES", 40);
    std::printf("random trees: OBEY_RANDOM_SEED=%llu\n", static_cast<unsigned long long>(seed));
    std::uint64_t builderNames = 0;
    for (std::uint64_t i = 0; i < trees; ++i) {
        SCOPED_TRACE("tree " + std::to_string(i) +
                     "; repeat with OBEY_RANDOM_SEED=" + std::to_string(seed));
        std::mt19937_64 random(seed + i);
        Tree tree;
        RandomFolder(random, 1 + static_cast<int>(random() % 5), tree);
        // Every other program folder is one whose every path needs quotes.
        TestDirectory dir;
        const fs::path program = i % 2 == 0 ? dir.Path() : dir.Path() / "rom tools=1";
        fs::create_directories(program);
        const fs::path source = program / "ROFS";
        WriteTree(tree, program.u8string());

        ListGenerator generator(program.native());
        // Read ahead by the pool, and once in a while by the walk alone.
        generator.LimitReadAhead(i % 4 == 0 ? 0 : 16);
        generator.Form_Load();
        const ClickSummary summary = generator.Command1_Click();
        generator.Form_Unload();

        std::string list;
        std::vector<ModelProblem> problems;
        std::vector<ListedFile> files;
        ExpectedList(
            tree, source.u8string(), [&list](std::string_view piece) { list += piece; }, problems,
            &files);
        const std::string written = ReadBytes(program / "ROFS.obey");
        ASSERT_EQ(written, list);
        // The builder reads back exactly the tree's files, each line whole,
        // and opens each by the name the line gives it.
        std::vector<ListedFile> read;
        ObeyReader reader([&read](const ObeyLine& line) {
            ASSERT_FALSE(line.cutShort);
            if (IsKeyword(line.words[0], "file")) {
                ASSERT_EQ(line.wordCount, 3u) << "line " << line.number;
                std::string readAs;
                ASSERT_TRUE(OpensSameFile(line.words[1], HostPathAsRead(line.words[1])))
                    << line.words[1];
                ASSERT_FALSE(ImageNameReadAsOther(line.words[2], readAs)) << line.words[2];
                read.push_back({line.words[1], line.words[2]});
            } else {
                ASSERT_EQ(line.wordCount, 2u) << "line " << line.number;
            }
        });
        reader.Feed(written);
        reader.Finish();
        ASSERT_EQ(read, files);
        // The first of each kind are kept with their paths, in the walk's
        // order, and all are counted.
        std::vector<ModelProblem> kept;
        std::uint64_t counts[kProblemKindCount] = {};
        for (const ModelProblem& problem : problems) {
            if (counts[std::size_t(problem.kind)]++ < ClickSummary::kKeptPerKind) {
                kept.push_back(problem);
            }
        }
        ASSERT_EQ(ProblemsOf(summary, source.native()), kept);
        for (std::size_t kind = 0; kind < kProblemKindCount; ++kind) {
            ASSERT_EQ(summary.Count(ProblemKind(kind)), counts[kind]);
        }
        builderNames += counts[std::size_t(ProblemKind::kBuilderName)];
    }
    // The names met those the builder reads as another.
    EXPECT_TRUE(trees < 40 || builderNames != 0);
}

}  // namespace
