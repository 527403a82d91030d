// The walk's recovery, with failures injected at each step on a real tree:
// a failure ends the walk of its own folder only, and is reported.
#include <gtest/gtest.h>

#include "error.h"
#include "failing_file_system.h"
#include "list_generator.h"
#include "test_tree.h"

namespace {

// ROFS: top.txt, A{a1,a2,A1{x}}, B{b1,b2,b3,B1{y}}, C{c1}
class WalkFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* file : kAll) {
            dir.AddFile(file);
        }
    }

    NativeString Folder(std::string_view relative) const { return dir.Under(relative); }

    // One click on a list written line by line (block size 0), so that a
    // write failure hits exactly one line.
    ClickSummary Click(std::size_t blockSize = 0) {
        generator = std::make_unique<ListGenerator>(fileSystem, dir.Native(), blockSize);
        generator->Form_Load();
        ClickSummary summary = generator->Command1_Click();
        generator->Form_Unload();
        return summary;
    }

    static std::vector<NativeString> IncompleteFolders(const ClickSummary& summary) {
        std::vector<NativeString> folders;
        for (const Problem& problem : summary.Kept()) {
            EXPECT_EQ(problem.kind, ProblemKind::kFolderIncomplete);
            EXPECT_FALSE(problem.reason.empty());
            folders.push_back(problem.path);
        }
        return folders;
    }

    static constexpr const char* kAll[] = {"top.txt",    "A/a1.txt",   "A/a2.txt",
                                           "A/A1/x.txt", "B/b1.txt",   "B/b2.txt",
                                           "B/b3.txt",   "B/B1/y.txt", "C/c1.txt"};

    TestDirectory dir;
    FaultPlan plan;
    FailingFileSystem fileSystem{plan};
    std::unique_ptr<ListGenerator> generator;
};

TEST_F(WalkFaults, WithoutFaultsEveryFileIsListed) {
    const ClickSummary summary = Click();
    EXPECT_FALSE(summary.HasProblems());
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {std::begin(kAll), std::end(kAll)}));
}

TEST_F(WalkFaults, SeveralFailingSiblingsUnderOneParent) {
    plan.failOpen = {Folder("A"), Folder("C")};
    plan.failFilesAfter = {{Folder("B"), 0}};
    const ClickSummary summary = Click();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"top.txt"}));
    EXPECT_EQ(IncompleteFolders(summary),
              (std::vector<NativeString>{Folder("A"), Folder("B"), Folder("C")}));
}

TEST_F(WalkFaults, FileListingFailureSkipsTheRestOfThatFolderOnly) {
    plan.failFilesAfter = {{Folder("B"), 1}};
    const ClickSummary summary = Click();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"top.txt", "A/a1.txt", "A/a2.txt",
                                                        "A/A1/x.txt", "B/b1.txt", "C/c1.txt"}));
    EXPECT_EQ(IncompleteFolders(summary), std::vector<NativeString>{Folder("B")});
}

TEST_F(WalkFaults, SubfolderCountFailureSkipsTheSubfoldersOnly) {
    plan.failSubFolderCount = {Folder("B")};
    Click();
    EXPECT_EQ(ReadBytes(dir.List()),
              ExpectedList(dir, {"top.txt", "A/a1.txt", "A/a2.txt", "A/A1/x.txt", "B/b1.txt",
                                 "B/b2.txt", "B/b3.txt", "C/c1.txt"}));
}

TEST_F(WalkFaults, FailedAdvanceEndsTheFolderOnceWithoutRepeating) {
    plan.failAdvanceAfter = {{Folder(""), 1}};
    const ClickSummary summary = Click();
    EXPECT_EQ(ReadBytes(dir.List()),
              ExpectedList(dir, {"top.txt", "A/a1.txt", "A/a2.txt", "A/A1/x.txt"}));
    EXPECT_EQ(IncompleteFolders(summary), std::vector<NativeString>{Folder("")});
}

TEST_F(WalkFaults, SourceFolderFailureEndsTheWalkButNotTheClick) {
    plan.failFilesAfter = {{Folder(""), 0}};
    ClickSummary summary;
    ASSERT_NO_THROW(summary = Click());
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {}));
    EXPECT_EQ(IncompleteFolders(summary), std::vector<NativeString>{Folder("")});
}

TEST_F(WalkFaults, UnopenableSourceFolderFailsTheClick) {
    plan.failOpen = {Folder("")};
    generator = std::make_unique<ListGenerator>(fileSystem, dir.Native());
    generator->Form_Load();
    EXPECT_THROW(generator->Command1_Click(), Error);
    generator->Form_Unload();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {}));
}

TEST_F(WalkFaults, WriteFailureSkipsTheRestOfThatFolderOnly) {
    plan.failWriteHolding = "b2.txt";
    const ClickSummary summary = Click();
    // The refused line is held and goes out with the next write, so it is not
    // lost; the folder's later files and subfolders are skipped.
    EXPECT_EQ(ReadBytes(dir.List()),
              ExpectedList(dir, {"top.txt", "A/a1.txt", "A/a2.txt", "A/A1/x.txt", "B/b1.txt",
                                 "B/b2.txt", "C/c1.txt"}));
    EXPECT_EQ(IncompleteFolders(summary), std::vector<NativeString>{Folder("B")});
    EXPECT_EQ(summary.LinesWritten(), 7u);
}

TEST_F(WalkFaults, FailedFlushFailsTheClickAndLosesNothing) {
    generator = std::make_unique<ListGenerator>(fileSystem, dir.Native());
    generator->Form_Load();
    plan.diskFull = true;
    plan.bytesBeforeFull = 37;  // a torn line, to be completed later
    EXPECT_THROW(generator->Command1_Click(), Error);
    // Room again: the held lines go out first, in order, then the next click's.
    plan.diskFull = false;
    generator->Command1_Click();
    generator->Form_Unload();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {std::begin(kAll), std::end(kAll)}, 2));
}

}  // namespace
