// What only Windows has: names the code page lacks, paths past MAX_PATH,
// lists that cannot be replaced (read-only, hidden), and the list's lock file.
#include <windows.h>

#include <gtest/gtest.h>

#include "error.h"
#include "list_generator.h"
#include "obey_format.h"
#include "test_tree.h"
#include "tree_model.h"

namespace {

TEST(WindowsWalk, CharactersWithoutAnExactFormAreTheDefaultCharacterAndReported) {
    // The tests run in code page 1252, where best fit would write U+2216 as
    // "\" (another folder) and U+3000 as a space; é is in it. Two names
    // the code page lacks alike are one name to the builder.
    ASSERT_EQ(GetACP(), 1252u);
    TestDirectory dir;
    dir.AddFile(
        "a\xe2\x88\x96"
        "b.txt");
    dir.AddFile(
        "\xe3\x80\x80"
        "c.txt");
    dir.AddFile(
        "\xe0\xb8\x81"
        "C.txt");
    dir.AddFile("\xc3\xa9.txt");
    const ClickSummary summary = ListOnce(dir);
    const std::string root = dir.Source().string();
    EXPECT_EQ(ReadBytes(dir.List()), HeaderBytes() + "file=" + root + "\\a?b.txt    \\a?b.txt\r\n" +
                                         "file=" + root + "\\\xe9.txt    \\\xe9.txt\r\n" +
                                         "file=" + root + "\\?C.txt    \\?C.txt\r\n" +
                                         "file=" + root + "\\?c.txt    \\?c.txt\r\n");
    EXPECT_EQ(ProblemsOf(summary, dir.Source().native()),
              (std::vector<ModelProblem>{{ProblemKind::kNameNotInCodePage,
                                          "/a\xe2\x88\x96"
                                          "b.txt"},
                                         {ProblemKind::kNameNotInCodePage,
                                          "/\xe0\xb8\x81"
                                          "C.txt"},
                                         {ProblemKind::kNameNotInCodePage,
                                          "/\xe3\x80\x80"
                                          "c.txt"},
                                         {ProblemKind::kNameClash,
                                          "/\xe3\x80\x80"
                                          "c.txt",
                                          "/\xe0\xb8\x81"
                                          "C.txt"}}));
}

TEST(WindowsWalk, FolderPastMaxPathIsListed) {
    // Three names of 255 characters: past MAX_PATH, short of what Wine's
    // host takes.
    TestDirectory dir;
    std::wstring at = L"\\\\?\\" + dir.Source().wstring();
    std::string relative;
    ASSERT_TRUE(CreateDirectoryW(at.c_str(), nullptr));
    for (char c = 'a'; c < 'a' + 3; ++c) {
        at += L"\\" + std::wstring(255, static_cast<wchar_t>(c));
        ASSERT_TRUE(CreateDirectoryW(at.c_str(), nullptr));
        relative += std::string(255, c) + "/";
    }
    WriteBytes(at + L"\\f.txt", "x");
    EXPECT_EQ(ListOnce(dir).ProblemCount(), 0u);
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {relative + "f.txt"}));
}

TEST(WindowsStart, AListThatCannotBeReplacedFailsTheStartBeforeTheBackup) {
    for (DWORD attribute : {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN}) {
        TestDirectory dir;
        WriteBytes(dir.List(), "file=earlier\r\n");
        WriteBytes(dir.Backup(), "file=older\r\n");
        SetFileAttributesW(dir.List().c_str(), attribute);
        ListGenerator generator(dir.Native());
        EXPECT_THROW(generator.Form_Load(), Error);
        SetFileAttributesW(dir.List().c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ReadBytes(dir.List()), "file=earlier\r\n");
        EXPECT_EQ(ReadBytes(dir.Backup()), "file=older\r\n");
    }
}

// Whole, or empty or short as a power cut may leave it.
TEST(WindowsStart, ALockLeftByAStoppedSystemIsTakenOver) {
    for (const char* content : {"ObeyGen lock\r\n", "", "ObeyGen"}) {
        TestDirectory dir;
        const std::wstring lock = dir.List().native() + L".lock";
        WriteBytes(lock, content);
        SetFileAttributesW(lock.c_str(), FILE_ATTRIBUTE_HIDDEN);
        ListGenerator generator(dir.Native());
        EXPECT_NO_THROW(generator.Form_Load()) << '"' << content << '"';
    }
}

}  // namespace
