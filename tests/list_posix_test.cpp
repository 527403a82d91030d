// The walk and the start on POSIX trees that only POSIX can make: names the
// builder cannot take, a source path no list can carry, what stands in the
// list's place, and depths past PATH_MAX and past any stack; the walk under
// pressure: clicks stopped or refused anywhere over a slow drive, few
// descriptors, a folder opened again. Links, FIFOs and names with any bytes
// are the random trees' part.
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "error.h"
#include "list_generator.h"
#include "obey_format.h"
#include "pattern_file.h"
#include "test_tree.h"
#include "tree_model.h"

namespace {

// The body runs in a child process, whose limits end with it, within a
// minute; its failures fail the test. Root passes every permission check and
// ignores the limit on processes: asNobody runs it as the user "nobody".
void InChild(bool asNobody, const std::function<void()>& body) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(60);
        if (asNobody && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's part failed";
}

void Limit(int resource, rlim_t most) {
    rlimit limit;
    ASSERT_EQ(getrlimit(resource, &limit), 0);
    limit.rlim_cur = most;
    ASSERT_EQ(setrlimit(resource, &limit), 0);
}

// A file f.txt in each folder of a tree levels deep, each folder holding one
// of each name: the folders, "" for the source.
std::vector<std::string> AddFolders(const TestDirectory& dir, const std::vector<std::string>& names,
                                    int levels) {
    std::vector<std::string> folders{""};
    for (std::size_t i = 0; i < folders.size(); ++i) {
        dir.AddFile(folders[i] + "f.txt");
        if (std::count(folders[i].begin(), folders[i].end(), '/') + 1 < levels) {
            for (const std::string& name : names) {
                folders.push_back(folders[i] + name);
            }
        }
    }
    return folders;
}

std::atomic<int> backslashFoldersOpened{0};

// Names only POSIX holds: a double quote, a tab, a trailing space, and case
// twins, which the builder takes for one name; a backslash, bytes not UTF-8
// and version braces, which it reads as other names. Such a folder is never
// opened, nor read ahead; version braces are rewritten only where the
// path's last "." follows them. (Each problem's kind, and that a name left
// out clashes with none, are the random trees' to compare with the model.)
TEST(PosixWalk, NamesTheBuilderCannotTakeReadsAsOtherOrTakesForOneAreReported) {
    TestDirectory dir;
    for (const char* file :
         {"q\"uote.txt", "f\"older/inner.txt", "Read.me", "read.ME", "READ.me", "Docs/a.txt",
          "docs/b.txt", "REM x=y\t.txt ", "a\\b.txt", "back\\slash/deeper/c.txt", "\xff.txt",
          "C{000A0000}.DLL", "c{000a0000}.dll", "v{2.1}.d/x", "v{2.1}.d/x.txt", "v{2.1}.d/y/z"}) {
        dir.AddFile(file);
    }
    ReadAhead::beforeOpening = [](NativeView name) {
        backslashFoldersOpened += name.find('\\') != NativeView::npos;
    };
    const ClickSummary summary = ListOnce(dir);
    ReadAhead::beforeOpening = nullptr;
    EXPECT_EQ(backslashFoldersOpened, 0);
    EXPECT_EQ(ReadBytes(dir.List()),
              ExpectedList(dir, {"READ.me", "REM x=y\t.txt ", "Read.me", "c{000a0000}.dll",
                                 "read.ME", "Docs/a.txt", "docs/b.txt", "v{2.1}.d/x.txt"}));
    // What the builder reads for a name: none for bytes that are not UTF-8.
    std::map<std::string, std::string> readAs;
    const std::size_t source = dir.Source().native().size();
    for (const Problem& problem : summary.Kept()) {
        readAs[problem.path.substr(source)] =
            problem.other.substr(std::min(source, problem.other.size()));
    }
    EXPECT_EQ(readAs.at("/a\\b.txt"), "/a/b.txt");
    EXPECT_EQ(readAs.at("/\xff.txt"), "");
    EXPECT_EQ(readAs.at("/v{2.1}.d/y/z"), "/v{00020001}.d/y/z");
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
    for (const char* name : {"a\"b", "a\nb", "a\rb", "a\\b"}) {
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

TEST(PosixWalk, DepthPastPathMaxAndPastTheStackWithFewDescriptors) {
    // 16 names of 255 bytes reach past PATH_MAX; a chain of 1,100 more
    // folders overflows the 64 KiB stack the walk is given if it recurses
    // (over 100 bytes a level), yet leaves room for a sanitizer's own frames.
    // Each level holds a folder "z" too, so that every folder above still has
    // one to open, with 16 descriptors in all.
    TestDirectory dir;
    const fs::path here = fs::current_path();
    fs::create_directory(dir.Source());
    fs::current_path(dir.Source());
    std::vector<std::string> files;
    std::string relative;
    for (int level = 0; level < 1116; ++level) {
        const std::string name =
            level < 16 ? std::string(255, static_cast<char>('a' + level)) : "d";
        ASSERT_EQ(mkdir("z", 0755), 0);
        WriteBytes("z/x.txt", "x");
        files.insert(files.begin(), relative + "z/x.txt");
        ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
        relative += name + "/";
    }
    WriteBytes("f.txt", "x");
    files.insert(files.begin(), relative + "f.txt");
    fs::current_path(here);
    // The walk alone, and with the pool.
    InChild(false, [&] {
        Limit(RLIMIT_NOFILE, 16);
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, 64 * 1024);
        struct Run {
            const TestDirectory& dir;
            std::size_t threads;
            ClickSummary summary;
        };
        auto run = [](void* context) -> void* {
            Run& click = *static_cast<Run*>(context);
            ListGenerator generator(click.dir.Native());
            generator.LimitReadAhead(click.threads);
            generator.Form_Load();
            click.summary = generator.Command1_Click();
            generator.Form_Unload();
            return nullptr;
        };
        for (Run click : {Run{dir, 0, ClickSummary()}, Run{dir, 16, ClickSummary()}}) {
            pthread_t thread;
            ASSERT_EQ(pthread_create(&thread, &attributes, run, &click), 0);
            pthread_join(thread, nullptr);
            EXPECT_EQ(click.summary.ProblemCount(), 0u);
            EXPECT_TRUE(ReadBytes(dir.List()) == ExpectedList(dir, files));
        }
    });
}

// A drive that takes up to 1.5 ms to open a folder, where every folder "b"
// is refused, a worker finds no descriptor at times, and memory runs out at
// the opening the test chooses.
std::thread::id walkThread;
std::atomic<int> opensBeforeNoMemory{-1};
void SlowAndFailing(NativeView name) {
    thread_local std::minstd_rand random(
        static_cast<unsigned>(std::hash<std::thread::id>()(std::this_thread::get_id())));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 1500));
    if (name == "b") {
        throw ErrorFromNumber(EACCES);
    }
    if (std::this_thread::get_id() != walkThread && random() % 8 == 0) {
        throw ErrorFromNumber(EMFILE);
    }
    if (opensBeforeNoMemory.fetch_sub(1) == 0) {
        throw std::bad_alloc();
    }
}

TEST(PosixWalk, ClicksStoppedOrFailingAnywhereOverASlowDriveEndCleanly) {
    TestDirectory dir;
    AddFolders(dir, {"a/", "b/", "c/", "x/"}, 4);
    // A link back up, beneath which nothing is read.
    fs::create_directory_symlink(dir.Source(), dir.Source() / "a" / "l");
    ReadAhead::beforeOpening = SlowAndFailing;
    walkThread = std::this_thread::get_id();
    std::mt19937 random(std::random_device{}());
    auto click = [&](std::size_t threads, std::uint64_t stopAfter) {
        ListGenerator generator(dir.Native());
        generator.LimitReadAhead(threads);
        generator.ObserveProgress([&](std::uint64_t) { return stopAfter-- != 0; });
        generator.Form_Load();
        std::vector<ModelProblem> problems;
        try {
            problems = ProblemsOf(generator.Command1_Click(), dir.Source().native());
        } catch (const Error& error) {
            EXPECT_EQ(ReadBytes(dir.List()), HeaderBytes());
            problems.push_back(
                {ProblemKind::kFolderIncomplete, "stopped", std::to_string(error.Number())});
        }
        generator.Form_Unload();
        return std::make_pair(ReadBytes(dir.List()), problems);
    };
    const auto alone = click(0, UINT64_MAX);
    ASSERT_EQ(alone.second.size(), 14u);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 300 && std::chrono::steady_clock::now() - start < std::chrono::seconds(3);
         ++i) {
        // In turn: memory runs out, the observer stops the click, it ends.
        if (i % 3 == 0) {
            opensBeforeNoMemory = static_cast<int>(random() % 35);
        }
        const auto result = click(16, i % 3 == 1 ? random() % 35 : UINT64_MAX);
        opensBeforeNoMemory = -1;
        if (i % 3 == 2) {
            ASSERT_EQ(result, alone);
        } else if (i % 3 == 1 || result != alone) {
            // Memory that ran out in any thread is the click's error.
            ASSERT_EQ(result.second.back().relative, "stopped");
            ASSERT_EQ(
                result.second.back().other,
                std::to_string((i % 3 == 0 ? OutOfMemoryError() : CancelledError()).Number()));
        }
    }
    ReadAhead::beforeOpening = nullptr;
}

// ROFS.exclude as what may stand in its place: a FIFO is refused at once,
// never waited on for a writer; a link that leads nowhere and a file past
// the limit fail the press rather than leave out less than asked (a folder
// is run_cli.sh's and the window's);
// a link to a file is read through; nothing there is no patterns.
TEST(PosixPatternFile, WhatStandsInItsPlace) {
    TestDirectory dir;
    const fs::path file = dir.Path() / "ROFS.exclude";
    EXPECT_FALSE(ReadPatternFile(file.native()));
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_THROW(ReadPatternFile(file.native()), Error);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
    fs::remove(file);
    fs::create_symlink(dir.Path() / "none", file);
    EXPECT_THROW(ReadPatternFile(file.native()), Error);
    WriteBytes(dir.Path() / "none", std::string(kMostPatternFileBytes + 1, '#'));
    try {
        ReadPatternFile(file.native());
        ADD_FAILURE() << "a file past the limit was read";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), EFBIG);
    }
    WriteBytes(dir.Path() / "none", "a\r\n#b\n \t\n\xFF c\n");
    const std::vector<FilePattern> patterns = ParsePatternFile(*ReadPatternFile(file.native()));
    ASSERT_EQ(patterns.size(), 2u);
    EXPECT_EQ(patterns[1].pattern, "\xFF c");  // the names' own bytes
    EXPECT_EQ(patterns[1].line, 4u);
}

// The walk's descriptor budget. Faults: descriptors in use counted wrong
// (the count's own listing, or none), so that the walk opens one past the
// limit and a folder is skipped, or refuses the few it has.
TEST(PosixBudget, HandlesLeftIsTheLimitLessThoseOpen) {
    InChild(false, [] {
        Limit(RLIMIT_NOFILE, 40);
        const std::size_t left = FolderReader::HandlesLeft(1000);
        EXPECT_EQ(FolderReader::HandlesLeft(3), 3u);
        std::vector<int> opened;
        for (std::size_t i = 0; i < left; ++i) {
            opened.push_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
            ASSERT_GE(opened.back(), 0) << i << " of " << left;
            EXPECT_EQ(FolderReader::HandlesLeft(1000), left - i - 1);
        }
        EXPECT_EQ(open("/dev/null", O_RDONLY | O_CLOEXEC), -1);
        for (int fd : opened) {
            close(fd);
        }
    });
}

std::string ListAlone(const TestDirectory& dir) {
    ListGenerator generator(dir.Native());
    generator.LimitReadAhead(0);
    generator.ListOnce();
    return ReadBytes(dir.List());
}

// Faults, over a drive that takes 0.8 ms an opening, where every folder holds
// a link back to the source: threads that read beneath the links (the walk
// drops each as a loop: 5.0 s against 0.36 s), that stay off once a shortage
// of descriptors has passed, that an image-path pattern turns off, or that
// join only when openings take over 1 ms. The walk then reads alone.
std::atomic<int> openings{0};
std::atomic<int> inFlight{0};
std::atomic<int> mostInFlight{0};
std::atomic<int> shortages{0};
std::atomic<int> readAfterShortage{0};
void SlowLinkedDrive(NativeView) {
    ++openings;
    const int now = ++inFlight;
    for (int most = mostInFlight; now > most && !mostInFlight.compare_exchange_weak(most, now);) {
    }
    std::this_thread::sleep_for(std::chrono::microseconds(800));
    --inFlight;
    if (std::this_thread::get_id() != walkThread) {
        if (shortages.fetch_add(1) < 6) {
            throw ErrorFromNumber(EMFILE);
        }
        ++readAfterShortage;
    }
}

TEST(PosixWalk, ThreadsReadSideBySideNeverBeneathALinkUpAndAgainAfterAShortage) {
    TestDirectory dir;
    const std::vector<std::string> folders = AddFolders(dir, {"a/", "b/", "c/", "d/"}, 3);
    for (const std::string& folder : folders) {
        fs::create_directory_symlink(dir.Source(), dir.Source() / folder / "up");
    }
    const std::string alone = ListAlone(dir);
    ReadAhead::beforeOpening = SlowLinkedDrive;
    walkThread = std::this_thread::get_id();
    ListGenerator generator(dir.Native());
    generator.Exclude("no/such");
    const ClickSummary summary = generator.ListOnce();
    ReadAhead::beforeOpening = nullptr;
    EXPECT_EQ(ReadBytes(dir.List()), alone);
    EXPECT_EQ(summary.Count(ProblemKind::kFolderLoop), folders.size());
    EXPECT_EQ(summary.ProblemCount(), folders.size());
    // Each folder and link once, and those a thread found no descriptor for
    // once more, by the walk.
    EXPECT_EQ(openings, static_cast<int>(2 * folders.size() - 1) + 6);
    EXPECT_GE(mostInFlight, 4);
    EXPECT_GE(readAfterShortage, 8);
}

// Fault: a folder closed to stay within few descriptors and opened again by
// path lists whatever stands at that path by then. Here "a" is moved away
// and another put in its place while the walk is deep beneath it: its
// subfolder still to open is reported, and nothing of the newcomer listed.
TEST(PosixWalk, AFolderOpenedAgainByPathMustBeTheSameFolder) {
    TestDirectory dir;
    std::vector<std::string> files;
    std::string chain = "a/";
    for (int level = 0; level < 20; ++level) {
        chain += "d/";
        dir.AddFile(chain + "z/x.txt");
        files.insert(files.begin(), chain + "z/x.txt");
    }
    dir.AddFile("a/z/x.txt");
    static int zOpenings;
    static const TestDirectory* swapped;
    zOpenings = 0;
    swapped = &dir;
    InChild(false, [&] {
        Limit(RLIMIT_NOFILE, 16);
        // Before the last z but one, a/d/z, whose parent is open again by then.
        ReadAhead::beforeOpening = [](NativeView name) {
            if (name == "z" && ++zOpenings == 20) {
                fs::rename(swapped->Source() / "a", swapped->Path() / "moved");
                swapped->AddFile("a/z/new.txt");
            }
        };
        ListGenerator generator(dir.Native());
        generator.LimitReadAhead(0);
        const ClickSummary summary = generator.ListOnce();
        for (std::string& file : files) {
            file = "a/" + file.substr(2);
        }
        EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, files));
        EXPECT_EQ(ProblemsOf(summary, dir.Source().native()),
                  (std::vector<ModelProblem>{{ProblemKind::kFolderIncomplete, "/a/z"}}));
        EXPECT_EQ(summary.Kept()[0].reason, std::strerror(ESTALE));
    });
}

// The window takes the user's locale and the command line does not: the
// common errors in the Windows build's Chinese words, the rest and the
// command line's as the C library gives them. The window's boxes stay in
// Chinese under the C locale too; the command line's stay in English under
// a Chinese one. (In children: the choice holds for the process.)
TEST(PosixErrors, EachProgramKeepsToItsLanguageWhateverTheLocale) {
    // scripts/setup.sh makes the locale.
    ASSERT_NE(std::setlocale(LC_MESSAGES, "zh_CN.UTF-8"), nullptr) << "no zh_CN.UTF-8 locale";
    EXPECT_EQ(ErrorFromNumber(EMFILE).Description(), "太多打开的文件。");
    InChild(false, [] {
        PreferEnglishDescriptions();
        EXPECT_EQ(ErrorFromNumber(ENOENT).Description(), "No such file or directory");
    });
    std::setlocale(LC_MESSAGES, "C");
    EXPECT_EQ(ErrorFromNumber(ENOENT).Description(), "No such file or directory");
    InChild(false, [] {
        PreferChineseDescriptions();
        EXPECT_EQ(ErrorFromNumber(ENOENT).Description(), "找不到路径。");
        EXPECT_EQ(ErrorFromNumber(EIO).Description(), "由于 I/O 设备错误，无法运行此项请求。");
    });
}

}  // namespace
