// The list's life on the basic tree, natively and under Wine: what each
// start, click and close leaves on disk, byte for byte.
#include <chrono>
#include <new>
#include <thread>

#include <gtest/gtest.h>

#include "error.h"
#include "list_generator.h"
#include "read_ahead.h"
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

// The read-ahead's queue alone. Faults: a job lost or given back twice (the
// walk waits for ever, or takes a folder twice), a job taken back that a
// thread still reads, a thread's failed allocation ending the process
// (std::bad_alloc out of a thread: terminate, exit 134, temporary files left).
TEST(ReadAheadQueue, EachJobComesBackOnceReadOrFailedUnlessTakenBackFirst) {
    TestDirectory dir;
    constexpr std::size_t kFolders = 24;
    constexpr std::size_t kTakenBack = 4;
    for (std::size_t i = 0; i < kFolders; ++i) {
        dir.AddFile("d" + std::to_string(i) + "/f.txt");
    }
    FolderReader reader;
    FolderListing source;
    reader.Open(dir.Source().native(), source);
    ReadAhead::beforeOpening = [](NativeView name) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (name.back() == '7') {
            throw std::bad_alloc();
        }
    };
    std::vector<ReadJob> jobs(kFolders);
    std::vector<int> returned(kFolders);
    {
        ReadAhead ahead;
        ASSERT_GT(ahead.Start(4, kFolders), 0u);
        for (std::size_t i = 0; i < kFolders; ++i) {
            jobs[i].from = &source;
            jobs[i].index = i;
            jobs[i].path = dir.Source().native() + kSeparator + NativeString(source.folders.At(i));
            ahead.Submit(jobs[i], [](const ReadJob* a, const ReadJob* b) { return a < b; });
        }
        // The last ones wait behind 20 openings of a millisecond.
        for (std::size_t i = kFolders - kTakenBack; i < kFolders; ++i) {
            EXPECT_TRUE(ahead.Withdraw(jobs[i]));
        }
        std::vector<ReadJob*> finished;
        finished.reserve(kFolders);
        while (ahead.Pending() > 0) {
            ahead.TakeFinished(finished, true);
            for (ReadJob* job : finished) {
                ++returned[static_cast<std::size_t>(job - jobs.data())];
            }
        }
        EXPECT_FALSE(ahead.Withdraw(jobs[0]));
    }
    ReadAhead::beforeOpening = nullptr;
    for (std::size_t i = 0; i < kFolders; ++i) {
        const bool fails = source.folders.At(i).back() == '7';
        EXPECT_EQ(returned[i], i < kFolders - kTakenBack ? 1 : 0) << i;
        EXPECT_EQ(jobs[i].listing.files.Size(), returned[i] == 1 && !fails ? 1u : 0u) << i;
        EXPECT_EQ(static_cast<bool>(jobs[i].failure), returned[i] == 1 && fails) << i;
        if (jobs[i].failure) {
            EXPECT_THROW(std::rethrow_exception(jobs[i].failure), std::bad_alloc);
        }
    }
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
