// What the Windows build must do on its own: the ANSI code page, file
// attributes, and paths past MAX_PATH.
#include <windows.h>

#include <gtest/gtest.h>

#include "error.h"
#include "file_system.h"
#include "list_generator.h"
#include "test_tree.h"

namespace {

const std::string kHeader = "rofsname=CG33.smg\r\nrofssize=0x40000000\r\n";

// The test runs pin the code page through the locale: Western (1252) for the
// unit tests, Simplified Chinese (936) for the window's end-to-end tests.
TEST(WindowsCodePage, NamesOutsideTheCodePageGetItsReplacementCharacter) {
    const UINT codePage = GetACP();
    ASSERT_TRUE(codePage == 1252 || codePage == 936) << "unexpected ANSI code page " << codePage;
    TestDirectory dir;
    // U+0E01 (Thai) is in neither code page; U+00E9 and U+4E2D each in one.
    dir.AddFile("\xe0\xb8\x81-\xc3\xa9.txt");
    dir.AddFile("\xe4\xb8\xad/\xe0\xb8\x81");
    const Outcome outcome = ListOnce(dir);
    const std::string root = Narrow(dir.Source().native());
    std::string first, second;
    if (codePage == 1252) {
        first = "\\?-\xe9.txt";
        second = "\\?\\?";
    } else {
        first = "\\?-\xa8\xa6.txt";
        second = "\\\xd6\xd0\\?";
    }
    EXPECT_EQ(outcome.list, kHeader + "file=" + root + first + "    " + first + "\r\n" +
                                "file=" + root + second + "    " + second + "\r\n");
    ASSERT_EQ(outcome.summary.Count(ProblemKind::kNameNotInCodePage), 2u);
    EXPECT_EQ(outcome.summary.Kept()[0].path, dir.Source().native() + L"\\\x0E01-\x00E9.txt");
}

TEST(WindowsCodePage, LoneSurrogateIsReplacedNotDropped) {
    std::string out;
    bool replaced = false;
    AppendNarrow(L"a\xD800z", out, &replaced);
    EXPECT_TRUE(replaced);
    EXPECT_EQ(out, "a?z");
}

TEST(WindowsAttributes, HiddenOrSystemListIsNotSeenAsAnEarlierList) {
    for (DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        TestDirectory dir;
        const std::string earlier = kHeader + "file=x    x\r\n";
        WriteBytes(dir.List(), earlier);
        ASSERT_TRUE(SetFileAttributesW(dir.List().c_str(), attribute));
        std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
        ListGenerator generator(*fileSystem, dir.Native());
        // Creating over a hidden or system file with normal attributes is
        // refused, as Windows does; the earlier list is neither copied,
        // deleted nor truncated.
        EXPECT_THROW(generator.Form_Load(), Error);
        EXPECT_FALSE(Exists(dir.Backup()));
        EXPECT_EQ(ReadBytes(dir.List()), earlier);
    }
}

TEST(WindowsAttributes, HiddenSystemAndReadOnlyFilesAndFoldersAreListed) {
    TestDirectory dir;
    dir.AddFile("h.txt");
    dir.AddFile("s.sys");
    dir.AddFile("r.txt");
    dir.AddFile("hid/inner.txt");
    ASSERT_TRUE(SetFileAttributesW((dir.Source() / "h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW((dir.Source() / "s.sys").c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW((dir.Source() / "r.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((dir.Source() / "hid").c_str(),
                                   FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    const Outcome outcome = ListOnce(dir);
    EXPECT_EQ(outcome.list,
              kHeader + ExpectedLines(dir, {"h.txt", "r.txt", "s.sys", "hid/inner.txt"}));
    SetFileAttributesW((dir.Source() / "r.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsAttributes, ArchiveListCounts) {
    TestDirectory dir;
    dir.AddFolder("");
    const std::string earlier = kHeader + "file=x    x\r\n";
    WriteBytes(dir.List(), earlier);
    ASSERT_TRUE(SetFileAttributesW(dir.List().c_str(), FILE_ATTRIBUTE_ARCHIVE));
    ListOnce(dir);
    EXPECT_EQ(ReadBytes(dir.Backup()), earlier);
}

TEST(WindowsAttributes, ReadOnlyListFailsTheStartAndChangesNothing) {
    TestDirectory dir;
    const std::string earlier = kHeader + "file=x    x\r\n";
    WriteBytes(dir.List(), earlier);
    ASSERT_TRUE(SetFileAttributesW(dir.List().c_str(), FILE_ATTRIBUTE_READONLY));
    std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
    ListGenerator generator(*fileSystem, dir.Native());
    try {
        generator.Form_Load();
        FAIL() << "the load went through";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), static_cast<long>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(error.Description().empty());
    }
    EXPECT_EQ(ReadBytes(dir.List()), earlier);
    // No backup: a read-only copy of it would refuse every later start.
    EXPECT_FALSE(Exists(dir.Backup()));
    SetFileAttributesW(dir.List().c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
