// Trees that users put into ROFS when they are not careful, each with the
// exact list and problems it must give.
#include <gtest/gtest.h>

#include <functional>

#include "failing_file_system.h"
#include "list_generator.h"
#include "obey_format.h"
#include "tree_model.h"

namespace {

struct HostileCase {
    const char* name;
    // Builds the tree under ROFS, sets faults, and returns the files the
    // list must hold, in walk order.
    std::function<std::vector<std::string>(const TestDirectory&, FaultPlan&)> build;
    std::vector<ModelProblem> problems;
};

const HostileCase kCases[] = {
    {"chain of folders past the path limit with a file at the bottom",
     [](const TestDirectory& dir, FaultPlan&) {
         return std::vector<std::string>{MakeChain(dir.Source(), ChainDepthOnDisk(), "d")};
     },
     {}},
    {"names of 255 characters",
     [](const TestDirectory& dir, FaultPlan&) {
         const std::string longName(255, 'n');
         dir.AddFile(longName + "/" + std::string(254, 'f') + "x");
         return std::vector<std::string>{longName + "/" + std::string(254, 'f') + "x"};
     },
     {}},
    {"folder removed between its parent's listing and its opening",
     [](const TestDirectory& dir, FaultPlan& plan) {
         dir.AddFile("a/1.txt");
         dir.AddFile("gone/2.txt");
         dir.AddFile("z/3.txt");
         const NativeString gone = dir.Under("gone");
         plan.beforeOpen = [gone](const NativeString& path) {
             if (path == gone) {
                 fs::remove_all(path);
             }
         };
         return std::vector<std::string>{"a/1.txt", "z/3.txt"};
     },
     {{ProblemKind::kFolderIncomplete, "/gone"}}},
    {"file removed after its folder was listed is still listed",
     [](const TestDirectory& dir, FaultPlan& plan) {
         dir.AddFile("a/late.txt");
         const NativeString folder = dir.Under("a");
         plan.afterOpen = [folder](const NativeString& path) {
             if (path == folder) {
                 // Gone once the folder is open and listed: the listing saw it.
                 fs::remove(fs::path(path) / "late.txt");
             }
         };
         return std::vector<std::string>{"a/late.txt"};
     },
     {}},
    {"files added during the walk do not break it",
     [](const TestDirectory& dir, FaultPlan& plan) {
         dir.AddFile("a/1.txt");
         dir.AddFile("b/2.txt");
         const NativeString second = dir.Under("b");
         const fs::path source = dir.Source();
         plan.beforeOpen = [second, source](const NativeString& path) {
             if (path == second) {
                 WriteBytes(source / "new.txt", "late");
                 fs::create_directory(source / "newdir");
             }
         };
         return std::vector<std::string>{"a/1.txt", "b/2.txt"};
     },
     {}},
};

class HostileTrees : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTrees, GiveTheirExactListAndProblems) {
    const HostileCase& hostile = GetParam();
    TestDirectory dir;
    dir.AddFolder("");
    FaultPlan plan;
    const std::vector<std::string> files = hostile.build(dir, plan);
    FailingFileSystem fileSystem(plan);
    ListGenerator generator(fileSystem, dir.Native());
    generator.Form_Load();
    const ClickSummary summary = generator.Command1_Click();
    generator.Form_Unload();
    EXPECT_EQ(ReadBytes(dir.List()), HeaderBytes() + ExpectedLines(dir, files));
    EXPECT_EQ(ActualProblems(summary, dir), hostile.problems);
    EXPECT_EQ(summary.LinesWritten(), files.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileTrees, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c) {
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             }
                             return name;
                         });

// A chain far deeper than any call stack could follow, served from memory.
class ChainFolder final : public Folder {
  public:
    ChainFolder(std::size_t depth, std::size_t bottom) : depth_(depth), bottom_(bottom) {}
    FolderId Id() const override { return FolderId{1, depth_}; }
    bool NextFile(NativeView* name) override {
        static const NativeString file = NativeFromAscii("bottom.txt");
        if (depth_ != bottom_ || fileGiven_) {
            return false;
        }
        fileGiven_ = true;
        *name = file;
        return true;
    }
    std::size_t SubFolderCount() override { return depth_ < bottom_ ? 1 : 0; }
    bool NextSubFolder(NativeView* name) override {
        static const NativeString folder = NativeFromAscii("d");
        if (depth_ == bottom_ || folderGiven_) {
            return false;
        }
        folderGiven_ = true;
        *name = folder;
        return true;
    }
    std::unique_ptr<Folder> OpenSubFolder(NativeView, NativeView) override {
        return std::make_unique<ChainFolder>(depth_ + 1, bottom_);
    }

  private:
    std::size_t depth_;
    std::size_t bottom_;
    bool fileGiven_ = false;
    bool folderGiven_ = false;
};

class ChainFileSystem final : public FileSystem {
  public:
    explicit ChainFileSystem(std::size_t depth) : depth_(depth), real_(MakeNativeFileSystem()) {}
    NativeString FolderPath(NativeView path) override {
        return NativeString(path.substr(0, path.size() - 1));
    }
    std::unique_ptr<Folder> OpenFolder(NativeView) override {
        return std::make_unique<ChainFolder>(0, depth_);
    }
    bool IsNormalFile(NativeView path) override { return real_->IsNormalFile(path); }
    std::string ReadStart(NativeView path, std::size_t limit) override {
        return real_->ReadStart(path, limit);
    }
    void CheckRemovable(NativeView path) override { real_->CheckRemovable(path); }
    void CopyOver(NativeView from, NativeView to) override { real_->CopyOver(from, to); }
    void Remove(NativeView path) override { real_->Remove(path); }
    std::unique_ptr<OutputFile> CreateForWriting(NativeView path) override {
        return real_->CreateForWriting(path);
    }

  private:
    std::size_t depth_;
    std::unique_ptr<FileSystem> real_;
};

TEST(DeepChains, HundredThousandLevelsNeedNoDeeperStack) {
    constexpr std::size_t kDepth = 100000;
    TestDirectory dir;
    ChainFileSystem fileSystem(kDepth);
    ListGenerator generator(fileSystem, dir.Native());
    generator.Form_Load();
    const ClickSummary summary = generator.Command1_Click();
    generator.Form_Unload();
    EXPECT_FALSE(summary.HasProblems());
    std::string chain;
    for (std::size_t level = 0; level < kDepth; ++level) {
        chain += "d/";
    }
    EXPECT_EQ(ReadBytes(dir.List()), HeaderBytes() + ExpectedLines(dir, {chain + "bottom.txt"}));
}

}  // namespace
