// The walk and the start on POSIX trees that only POSIX can make: links,
// special files, unreadable folders (as "nobody"), and depths past PATH_MAX
// and past any stack. Names with any bytes are the random trees' part.
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "error.h"
#include "list_generator.h"
#include "obey_format.h"
#include "test_tree.h"
#include "tree_model.h"

namespace {

// Root passes every permission check: the body runs in a child process as
// the unprivileged user "nobody", and its failures fail the test.
void AsNobody(const std::function<void()>& body) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(3);
        }
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the part as nobody failed";
}

TEST(PosixWalk, LinksAndSpecialFiles) {
    TestDirectory dir;
    TestDirectory outside;
    outside.AddFile("o.txt");
    dir.AddFile("a/f.txt");
    const fs::path source = dir.Source();
    fs::create_directory_symlink("..", source / "a" / "up");
    fs::create_directory_symlink(outside.Source(), source / "ext");
    fs::create_symlink("/nonexistent/target", source / "dangling");
    fs::create_symlink("a/f.txt", source / "tofile");
    fs::create_symlink("/dev/zero", source / "zero");
    ASSERT_EQ(mkfifo((source / "fifo").c_str(), 0644), 0);
    const ClickSummary summary = ListOnce(dir);
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"tofile", "a/f.txt", "ext/o.txt"}));
    EXPECT_EQ(ProblemsOf(summary, dir.Source().native()),
              (std::vector<ModelProblem>{{ProblemKind::kNotRegularFile, "/dangling"},
                                         {ProblemKind::kNotRegularFile, "/fifo"},
                                         {ProblemKind::kNotRegularFile, "/zero"},
                                         {ProblemKind::kFolderLoop, "/a/up"}}));
}

// Names only POSIX holds: a double quote, a tab, a trailing space, and case
// twins, which the builder takes for one name.
TEST(PosixWalk, NamesTheBuilderCannotTakeOrTakesForOneAreReported) {
    TestDirectory dir;
    for (const char* file : {"q\"uote.txt", "f\"older/inner.txt", "Read.me", "read.ME", "READ.me",
                             "Docs/a.txt", "docs/b.txt", "REM x=y\t.txt "}) {
        dir.AddFile(file);
    }
    const ClickSummary summary = ListOnce(dir);
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"READ.me", "REM x=y\t.txt ", "Read.me",
                                                        "read.ME", "Docs/a.txt", "docs/b.txt"}));
    EXPECT_EQ(ProblemsOf(summary, dir.Source().native()),
              (std::vector<ModelProblem>{{ProblemKind::kQuoteInName, "/q\"uote.txt"},
                                         {ProblemKind::kNameClash, "/Read.me", "/READ.me"},
                                         {ProblemKind::kNameClash, "/read.ME", "/READ.me"},
                                         {ProblemKind::kNameClash, "/docs", "/Docs"},
                                         {ProblemKind::kQuoteInName, "/f\"older"}}));
}

// The source folder's path would be on every line.
TEST(PosixStart, ASourcePathNoListCanCarryFailsTheClickBeforeAnythingIsWritten) {
    const auto refusedPath = [](const std::function<void()>& step) {
        try {
            step();
        } catch (const Error& error) {
            return error.Path();
        }
        return NativeString("<not refused>");
    };
    for (const char* name : {"a\"b", "a\nb", "a\rb"}) {
        TestDirectory dir;
        const fs::path program = dir.Path() / name;
        fs::create_directories(program / "ROFS");
        WriteBytes(program / "ROFS" / "f.txt", "x");
        WriteBytes(program / "ROFS.obey", "file=earlier\r\n");
        ListGenerator once({(program / "ROFS").native(), (program / "ROFS.obey").native(), ""});
        EXPECT_EQ(refusedPath([&] { once.ListOnce(); }), (program / "ROFS").native());
        EXPECT_EQ(std::distance(fs::directory_iterator(program), fs::directory_iterator()), 2);
        ListGenerator window(program.native());
        window.Form_Load();
        EXPECT_EQ(refusedPath([&] { window.Command1_Click(); }), (program / "ROFS").native());
        EXPECT_EQ(ReadBytes(program / "ROFS.obey"), HeaderBytes());
        window.Form_Unload();
    }
}

TEST(PosixWalk, UnreadableFoldersAreReportedAndTheirSiblingsWalked) {
    TestDirectory dir;
    for (const char* file : {"a/1.txt", "b/2.txt", "b/deeper/3.txt", "c/4.txt", "d/5.txt"}) {
        dir.AddFile(file);
    }
    fs::permissions(dir.Path(), fs::perms::all);
    fs::permissions(dir.Source() / "b", fs::perms::none);
    fs::permissions(dir.Source() / "d", fs::perms::owner_exec | fs::perms::others_exec);
    AsNobody([&] {
        const ClickSummary summary = ListOnce(dir);
        EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"a/1.txt", "c/4.txt"}));
        EXPECT_EQ(ProblemsOf(summary, dir.Source().native()),
                  (std::vector<ModelProblem>{{ProblemKind::kFolderIncomplete, "/b"},
                                             {ProblemKind::kFolderIncomplete, "/d"}}));
        EXPECT_EQ(summary.Kept()[0].reason, std::strerror(EACCES));
    });
}

TEST(PosixStart, WhatIsNotARegularFileInTheListsPlaceFailsAtOnceAndChangesNothing) {
    TestDirectory dir;
    TestDirectory outside;
    const std::function<void(const fs::path&)> makers[] = {
        [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); },
        [&](const fs::path& p) { fs::create_symlink(outside.Path() / "target", p); },
        [&](const fs::path& p) { fs::create_symlink(outside.List(), p); },
        [](const fs::path& p) { fs::create_directory(p); },
    };
    WriteBytes(outside.List(), "file=outside\r\n");
    for (const fs::path& place : {dir.List(), dir.Backup()}) {
        for (const auto& make : makers) {
            const fs::path other = place == dir.List() ? dir.Backup() : dir.List();
            WriteBytes(other, "file=earlier\r\n");
            fs::remove_all(place);
            make(place);
            ListGenerator generator(dir.Native());
            EXPECT_THROW(generator.Form_Load(), Error) << place;
            EXPECT_EQ(ReadBytes(other), "file=earlier\r\n");
            EXPECT_FALSE(fs::exists(outside.Path() / "target"));
            EXPECT_EQ(ReadBytes(outside.List()), "file=outside\r\n");
        }
        fs::remove_all(place);
    }
}

TEST(PosixWalk, DepthPastPathMaxAndPastTheStack) {
    // 16 names of 255 bytes reach past PATH_MAX; a chain of 600 more folders
    // overflows the 64 KiB stack the walk is given if it recurses (over 100
    // bytes a level), yet leaves room for a sanitizer's own frames.
    TestDirectory dir;
    const fs::path here = fs::current_path();
    fs::create_directory(dir.Source());
    fs::current_path(dir.Source());
    std::string relative;
    for (int level = 0; level < 616; ++level) {
        const std::string name =
            level < 16 ? std::string(255, static_cast<char>('a' + level)) : "d";
        ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
        relative += name + "/";
    }
    WriteBytes("f.txt", "x");
    fs::current_path(here);
    ClickSummary summary;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    auto run = [](void* context) -> void* {
        auto* args = static_cast<std::pair<const TestDirectory*, ClickSummary*>*>(context);
        *args->second = ListOnce(*args->first);
        return nullptr;
    };
    std::pair<const TestDirectory*, ClickSummary*> args{&dir, &summary};
    // Few descriptors too: a walk must not hold one for each folder above it.
    rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit few{64, limit.rlim_max};
    setrlimit(RLIMIT_NOFILE, &few);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &args), 0);
    pthread_join(thread, nullptr);
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(summary.ProblemCount(), 0u);
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {relative + "f.txt"}));
}

// The window takes the user's locale and the command line does not: the
// common errors in the Windows build's Chinese words, the rest and the
// command line's as the C library gives them.
TEST(PosixErrors, ChineseForTheCommonOnesUnderAChineseLocaleOnly) {
    if (std::setlocale(LC_MESSAGES, "zh_CN.UTF-8") == nullptr) {
        GTEST_SKIP() << "no zh_CN.UTF-8 locale";
    }
    EXPECT_EQ(ErrorFromNumber(ENOENT).Description(), "找不到路径。");
    EXPECT_EQ(ErrorFromNumber(EMFILE).Description(), "太多打开的文件。");
    std::setlocale(LC_MESSAGES, "C");
    EXPECT_EQ(ErrorFromNumber(ENOENT).Description(), "No such file or directory");
}

}  // namespace
