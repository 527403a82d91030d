// The list's life on a real program directory: backup, creation, header,
// flushing, closing, and what survives each refused step.
#include <gtest/gtest.h>

#include "error.h"
#include "failing_file_system.h"
#include "list_generator.h"
#include "obey_format.h"
#include "test_tree.h"

namespace {

const std::string kHeader = "rofsname=CG33.smg\r\nrofssize=0x40000000\r\n";
const std::string kRealList = kHeader + "file=/old/ROFS/a    /a\r\n";

class Lifecycle : public ::testing::Test {
  protected:
    TestDirectory dir;
    FaultPlan plan;
    FailingFileSystem fileSystem{plan};
    ListGenerator generator{fileSystem, dir.Native()};
};

TEST_F(Lifecycle, WithoutAnEarlierListTheHeaderIsWrittenAndTheBackupLeftAlone) {
    WriteBytes(dir.Backup(), "older backup");
    generator.Form_Load();
    // Flushed at once: readable while the window is open.
    EXPECT_EQ(ReadBytes(dir.List()), kHeader);
    generator.Form_Unload();
    EXPECT_EQ(ReadBytes(dir.List()), kHeader);
    EXPECT_EQ(ReadBytes(dir.Backup()), "older backup");
}

TEST_F(Lifecycle, EarlierListBecomesTheBackupByteForByte) {
    const std::string earlier = kRealList + std::string("\0\xff tail without line end", 23);
    WriteBytes(dir.List(), earlier);
    WriteBytes(dir.Backup(),
               "older backup that is longer than the list, to catch a missing truncate " +
                   std::string(200, 'x'));
    generator.Form_Load();
    EXPECT_EQ(ReadBytes(dir.Backup()), earlier);
    EXPECT_EQ(ReadBytes(dir.List()), kHeader);
    generator.Form_Unload();
}

TEST_F(Lifecycle, AnythingButTheExactHeaderIsBackedUp) {
    for (const std::string& earlier :
         {kHeader.substr(0, kHeader.size() - 1), kHeader + "\r\n", std::string("")}) {
        TestDirectory fresh;
        WriteBytes(fresh.List(), earlier);
        ListGenerator other(fileSystem, fresh.Native());
        other.Form_Load();
        other.Form_Unload();
        EXPECT_EQ(ReadBytes(fresh.Backup()), earlier)
            << "earlier list: " << earlier.size() << " bytes";
    }
}

TEST_F(Lifecycle, TwoStartsWithoutAClickKeepTheLastRealList) {
    WriteBytes(dir.List(), kRealList);
    for (int start = 0; start < 2; ++start) {
        ListGenerator run(fileSystem, dir.Native());
        run.Form_Load();
        run.Form_Unload();
    }
    EXPECT_EQ(ReadBytes(dir.Backup()), kRealList);
}

TEST_F(Lifecycle, RefusedCopyChangesNothing) {
    WriteBytes(dir.List(), kRealList);
    WriteBytes(dir.Backup(), "older backup");
    plan.failCopy = true;
    EXPECT_THROW(generator.Form_Load(), Error);
    EXPECT_EQ(ReadBytes(dir.List()), kRealList);
    EXPECT_EQ(ReadBytes(dir.Backup()), "older backup");
}

TEST_F(Lifecycle, RefusedDeleteLeavesTheListAndItsCopy) {
    WriteBytes(dir.List(), kRealList);
    plan.failRemove = true;
    EXPECT_THROW(generator.Form_Load(), Error);
    EXPECT_EQ(ReadBytes(dir.List()), kRealList);
    EXPECT_EQ(ReadBytes(dir.Backup()), kRealList);
}

TEST_F(Lifecycle, RefusedCreateLeavesTheEarlierListAsTheBackupOnly) {
    WriteBytes(dir.List(), kRealList);
    plan.failCreate = true;
    try {
        generator.Form_Load();
        FAIL() << "the load went through";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), InjectedErrorNumber());
        EXPECT_FALSE(error.Description().empty());
    }
    EXPECT_FALSE(Exists(dir.List()));
    EXPECT_EQ(ReadBytes(dir.Backup()), kRealList);
}

TEST_F(Lifecycle, FolderInThePlaceOfTheListOrBackupFailsTheStart) {
    fs::create_directory(dir.List());
    EXPECT_THROW(generator.Form_Load(), Error);
    EXPECT_TRUE(fs::is_directory(dir.List()));
    EXPECT_FALSE(Exists(dir.Backup()));

    TestDirectory other;
    WriteBytes(other.List(), kRealList);
    fs::create_directory(other.Backup());
    ListGenerator second(fileSystem, other.Native());
    EXPECT_THROW(second.Form_Load(), Error);
    EXPECT_EQ(ReadBytes(other.List()), kRealList);
    EXPECT_TRUE(fs::is_directory(other.Backup()));
    EXPECT_TRUE(fs::is_empty(other.Backup()));
}

}  // namespace
