// What the POSIX listing brings: raw name bytes, line breaks in names, folder
// links, real permissions and paths past PATH_MAX.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "error.h"
#include "file_system.h"
#include "list_generator.h"
#include "test_tree.h"
#include "tree_model.h"

namespace {

// Root passes every permission check: the body runs in a child process as
// the unprivileged user "nobody", and its failures fail the test.
void AsUnprivileged(const std::function<void()>& body) {
    std::fflush(stdout);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        body();
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged part failed (see above)";
}

TEST(PosixLinks, LoopIsSkippedOutsideFolderWalkedDanglingLinkListed) {
    TestDirectory dir;
    TestDirectory outside;
    outside.AddFile("o.txt");
    dir.AddFile("a/f.txt");
    ASSERT_EQ(symlink("..", (dir.Source() / "a" / "up").c_str()), 0);
    ASSERT_EQ(symlink(outside.Source().c_str(), (dir.Source() / "ext").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent/target", (dir.Source() / "dangling").c_str()), 0);
    ASSERT_EQ(symlink("a/f.txt", (dir.Source() / "tofile").c_str()), 0);
    const Outcome outcome = ListOnce(dir);
    EXPECT_EQ(outcome.list, ExpectedList(dir, {"dangling", "tofile", "a/f.txt", "ext/o.txt"}));
    EXPECT_EQ(ActualProblems(outcome.summary, dir),
              (std::vector<ModelProblem>{{ProblemKind::kFolderLoop, "/a/up"}}));
}

TEST(PosixPermission, UnreadableSubfoldersAreReportedAndTheirSiblingsWalked) {
    AsUnprivileged([] {
        TestDirectory dir;
        dir.AddFile("a/1.txt");
        dir.AddFile("b/2.txt");
        dir.AddFile("b/deeper/3.txt");
        dir.AddFile("c/4.txt");
        dir.AddFile("d/5.txt");
        ASSERT_EQ(chmod((dir.Source() / "b").c_str(), 0), 0);
        ASSERT_EQ(chmod((dir.Source() / "c").c_str(), 0), 0);
        const Outcome outcome = ListOnce(dir);
        EXPECT_EQ(outcome.list, ExpectedList(dir, {"a/1.txt", "d/5.txt"}));
        EXPECT_EQ(ActualProblems(outcome.summary, dir),
                  (std::vector<ModelProblem>{{ProblemKind::kFolderIncomplete, "/b"},
                                             {ProblemKind::kFolderIncomplete, "/c"}}));
    });
}

TEST(PosixPermission, UnreadableSourceFolderFailsTheClick) {
    AsUnprivileged([] {
        TestDirectory dir;
        dir.AddFile("a.txt");
        ASSERT_EQ(chmod(dir.Source().c_str(), 0), 0);
        std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
        ListGenerator generator(*fileSystem, dir.Native());
        generator.Form_Load();
        try {
            generator.Command1_Click();
            ADD_FAILURE() << "the click went through";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), EACCES);
        }
        generator.Form_Unload();
        EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {}));
    });
}

TEST(PosixPermission, ProgramDirectoryThatCannotBeWrittenChangesNothing) {
    AsUnprivileged([] {
        TestDirectory dir;
        const std::string earlier = "rofsname=CG33.smg\r\nrofssize=0x40000000\r\nfile=x    x\r\n";
        WriteBytes(dir.List(), earlier);
        ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
        std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
        ListGenerator generator(*fileSystem, dir.Native());
        try {
            generator.Form_Load();
            ADD_FAILURE() << "the load went through";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), EACCES);
        }
        EXPECT_EQ(ReadBytes(dir.List()), earlier);
        EXPECT_FALSE(Exists(dir.Backup()));
        // No half-made copy left behind either.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator{}), 1);
    });
}

TEST(PosixPermission, ReadOnlyBackupRefusesTheCopyAndNothingChanges) {
    AsUnprivileged([] {
        TestDirectory dir;
        const std::string earlier = "rofsname=CG33.smg\r\nrofssize=0x40000000\r\nfile=x    x\r\n";
        WriteBytes(dir.List(), earlier);
        WriteBytes(dir.Backup(), "old");
        ASSERT_EQ(chmod(dir.Backup().c_str(), 0444), 0);
        std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
        ListGenerator generator(*fileSystem, dir.Native());
        EXPECT_THROW(generator.Form_Load(), Error);
        EXPECT_EQ(ReadBytes(dir.List()), earlier);
        EXPECT_EQ(ReadBytes(dir.Backup()), "old");
    });
}

}  // namespace
