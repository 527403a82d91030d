// The walk of real trees: order, completeness, repeated clicks, a missing
// source folder.
#include <gtest/gtest.h>

#include "error.h"
#include "file_system.h"
#include "list_generator.h"
#include "test_tree.h"

namespace {

class Walk : public ::testing::Test {
  protected:
    TestDirectory dir;
    std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
    ListGenerator generator{*fileSystem, dir.Native()};

    std::string Run(int clicks = 1) {
        generator.Form_Load();
        for (int click = 0; click < clicks; ++click) {
            const ClickSummary summary = generator.Command1_Click();
            EXPECT_FALSE(summary.HasProblems());
        }
        generator.Form_Unload();
        return ReadBytes(dir.List());
    }
};

TEST_F(Walk, ListsAFileTwoFoldersDownWithItsImagePath) {
    dir.AddFile("a.txt");
    dir.AddFile("sys/bin/b.dll");
    EXPECT_EQ(Run(), ExpectedList(dir, {"a.txt", "sys/bin/b.dll"}));
    EXPECT_EQ(generator.RootPath(), dir.Source().native());
}

TEST_F(Walk, EveryPressAppendsTheWholeListingAgain) {
    dir.AddFile("a.txt");
    dir.AddFile("s/b.txt");
    EXPECT_EQ(Run(2), ExpectedList(dir, {"a.txt", "s/b.txt"}, 2));
}

TEST_F(Walk, MissingSourceFolderFailsTheClickAndKeepsTheList) {
    dir.AddFile("a.txt");
    generator.Form_Load();
    generator.Command1_Click();
    fs::remove_all(dir.Source());
    try {
        generator.Command1_Click();
        ADD_FAILURE() << "the click went through";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), MissingFolderError().Number());
    }
    // The list holds the header and the first click, and takes more once the
    // folder is back.
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"a.txt"}));
    dir.AddFile("b.txt");
    generator.Command1_Click();
    generator.Form_Unload();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"a.txt"}) + ExpectedLines(dir, {"b.txt"}));
}

TEST_F(Walk, SourceThatIsAFileFailsTheClick) {
    WriteBytes(dir.Source(), "not a folder");
    generator.Form_Load();
    EXPECT_THROW(generator.Command1_Click(), Error);
    generator.Form_Unload();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {}));
}

TEST_F(Walk, ClickBeforeLoadIsRefused) {
    dir.AddFile("a.txt");
    EXPECT_THROW(generator.Command1_Click(), Error);
    EXPECT_FALSE(Exists(dir.List()));
}

}  // namespace
