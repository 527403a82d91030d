// The list's life on the basic tree, natively and under Wine: what each
// start, click and close leaves on disk, byte for byte.
#include <gtest/gtest.h>

#include "error.h"
#include "list_generator.h"
#include "obey_format.h"
#include "test_tree.h"

namespace {

long ErrorNumber(const std::function<void()>& step) {
    try {
        step();
    } catch (const Error& error) {
        return error.Number();
    }
    return 0;
}

TEST(Lifecycle, StartsClicksAndRestartsKeepTheBackupOfTheLastRealList) {
    TestDirectory dir;
    BuildBasicTree(dir);
    {
        ListGenerator generator(dir.Native());
        generator.Form_Load();
        EXPECT_EQ(ReadBytes(dir.List()), HeaderBytes());
        EXPECT_EQ(ReadBytes(dir.Backup()), "<missing>");
        EXPECT_EQ(generator.Command1_Click().LinesWritten(), kBasicTreeList.size());
        EXPECT_EQ(generator.Command1_Click().ProblemCount(), 0u);
        generator.Form_Unload();
    }
    // The second press lists each file once: its listing alone, never the
    // first's again, which the builder would refuse as every file twice.
    const std::string twoClicks = ExpectedList(dir, kBasicTreeList);
    EXPECT_EQ(ReadBytes(dir.List()), twoClicks);
    // A start saves the list; a start over a list of the header alone keeps
    // that backup; an empty list is a real one and is saved.
    for (const std::string& list : {twoClicks, HeaderBytes(), std::string()}) {
        WriteBytes(dir.List(), list);
        ListGenerator generator(dir.Native());
        generator.Form_Load();
        generator.Form_Unload();
        EXPECT_EQ(ReadBytes(dir.Backup()), list.empty() ? list : twoClicks);
        EXPECT_EQ(ReadBytes(dir.List()), HeaderBytes());
    }
    // No temporary file of the program's is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST(Lifecycle, SecondProgramOnTheDirectoryIsRefusedAndChangesNothing) {
    TestDirectory dir;
    dir.AddFile("a.txt");
    WriteBytes(dir.Backup(), "old backup");
    ListGenerator first(dir.Native());
    first.Form_Load();
    first.Command1_Click();
    ListGenerator second(dir.Native());
    EXPECT_EQ(ErrorNumber([&] { second.Form_Load(); }), BusyError().Number());
    EXPECT_EQ(ReadBytes(dir.Backup()), "old backup");
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"a.txt"}));
    first.Command1_Click();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"a.txt"}));
    first.Form_Unload();
    EXPECT_EQ(ErrorNumber([&] { second.Form_Load(); }), 0);
}

TEST(Lifecycle, FailedClickLeavesTheListAndAPressAfterTheMendListsOnce) {
    TestDirectory dir;
    WriteBytes(dir.Path() / "ROFS.obey.tmp", "left by a killed program");
    WriteBytes(dir.Path() / "ROFS_bak.obey.tmp", "left by a killed program");
    ListGenerator generator(dir.Native());
    generator.Form_Load();
    EXPECT_EQ(ReadBytes(dir.Path() / "ROFS.obey.tmp"), "<missing>");
    EXPECT_EQ(ReadBytes(dir.Path() / "ROFS_bak.obey.tmp"), "<missing>");
    EXPECT_EQ(ErrorNumber([&] { generator.Command1_Click(); }), MissingFolderError().Number());
    EXPECT_EQ(ReadBytes(dir.List()), HeaderBytes());
    BuildBasicTree(dir);
    generator.Command1_Click();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, kBasicTreeList));
    generator.Form_Unload();
}

TEST(ClickSummary, KeepsTheFirstHundredOfEachKindAndCountsThemAll) {
    ClickSummary summary;
    for (int i = 0; i < 150; ++i) {
        summary.Add(ProblemKind::kFolderLoop, NativeView(), {});
    }
    summary.Add(ProblemKind::kNotRegularFile, NativeView(), {});
    EXPECT_EQ(summary.Kept().size(), ClickSummary::kKeptPerKind + 1);
    EXPECT_EQ(summary.Kept().back().kind, ProblemKind::kNotRegularFile);
    EXPECT_EQ(summary.Count(ProblemKind::kFolderLoop), 150u);
    EXPECT_EQ(summary.ProblemCount(), 151u);
}

}  // namespace
