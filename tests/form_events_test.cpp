// The window's event logic through a stand-in for a platform's window: the
// tasks the walk posts run when the test says, and a post can be held to
// stand for a listing that does not return.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "form_design.h"
#include "form_events.h"
#include "test_tree.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kPatience{10};

class FakeWindow : public FormFeedback {
  public:
    void ShowError(const std::string& text) override { boxes.push_back("error: " + text); }
    void ShowWarning(const std::string& text) override { boxes.push_back("warning: " + text); }
    void SetBusy(bool on) override { busy = on; }
    void SetCaption(const std::string& text) override { caption = text; }
    void SetCommandText(const std::string& text) override {
        command = text;
        commands.push_back(text);
    }
    void SetOutcome(const std::string& text) override { outcome = text; }

    // A walk's thread that a close left behind may still be inside Post:
    // it is let go, and waited for, before the window is gone.
    ~FakeWindow() override {
        HoldPosts(false);
        std::unique_lock<std::mutex> lock(mutex_);
        posted_.wait_for(lock, kPatience, [&] { return posting_ == 0; });
    }

    void Post(std::function<void()> task) override {
        std::unique_lock<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        posted_.notify_all();
        if (hold_) {
            // Let go in the end, so that a close that waits fails rather
            // than hangs.
            ++posting_;
            posted_.wait_for(lock, kPatience, [&] { return !hold_; });
            --posting_;
            posted_.notify_all();
        }
    }

    // Runs the posted tasks here, as the window's thread would, until the
    // walk has ended.
    void RunUntilIdle() {
        const auto deadline = Clock::now() + kPatience;
        while (busy && Clock::now() < deadline) {
            std::unique_lock<std::mutex> lock(mutex_);
            if (posted_.wait_until(lock, deadline, [&] { return !tasks_.empty(); })) {
                auto task = std::move(tasks_.front());
                tasks_.pop_front();
                lock.unlock();
                task();
            }
        }
        ASSERT_FALSE(busy) << "the walk did not end";
    }

    void HoldPosts(bool on) {
        const std::lock_guard<std::mutex> lock(mutex_);
        hold_ = on;
        posted_.notify_all();
    }

    bool WaitUntilHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        return posted_.wait_for(lock, kPatience, [&] { return !tasks_.empty(); });
    }

    std::vector<std::string> boxes;
    bool busy = false;
    std::string caption;
    std::string command;
    std::vector<std::string> commands;  // every text Command1 was given
    std::string outcome;

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
    bool hold_ = false;
    int posting_ = 0;  // threads held in Post
};

// One program directory through an error, a click, a second press during a
// walk, and a click with a problem.
TEST(FormEvents, AClickEndsInAnErrorNothingOrAWarningAndTheButtonTellsHowMany) {
    TestDirectory dir;
    FakeWindow window;
    FormEvents events(dir.Native(), window);
    ASSERT_TRUE(events.Load());
    const std::string header = ReadBytes(dir.List());

    events.Click();  // no ROFS folder yet
    window.RunUntilIdle();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].rfind("error: 运行时错误 '", 0), 0u) << window.boxes[0];
    // What to do, for the folder the window lists.
    EXPECT_NE(window.boxes[0].find("新建名为 ROFS 的文件夹"), std::string::npos) << window.boxes[0];
    EXPECT_EQ(window.commands.front(), "已列出 0 项");
    EXPECT_EQ(window.command, kControls[0].text);
    EXPECT_EQ(window.caption, kFormCaption);
    EXPECT_EQ(ReadBytes(dir.List()), header);

    BuildBasicTree(dir);
    events.Click();
    events.Click();  // queued before the button was greyed: starts nothing
    window.RunUntilIdle();
    EXPECT_EQ(window.boxes.size(), 1u);
    const std::string files = std::to_string(kBasicTreeList.size());
    EXPECT_EQ(window.command, "已生成 " + files + " 项");
    // A count is shown as the walk goes, however soon it ends (the caption's
    // is run_window.sh's).
    EXPECT_NE(std::find_if(window.commands.begin(), window.commands.end(),
                           [](const std::string& text) {
                               return text.rfind("已列出 ", 0) == 0 && text != "已列出 0 项";
                           }),
              window.commands.end());
    // No earlier list: nothing to compare with.
    EXPECT_EQ(window.caption, DoneCaption(kBasicTreeList.size()));
    EXPECT_EQ(window.outcome, "已生成 " + files + " 个文件");
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, kBasicTreeList));

    // A name no line can carry: a line break on POSIX, Korean outside code
    // page 936 on Windows.
    dir.AddFile(fs::path::preferred_separator == '/' ? "bad\nname.txt" : "한.txt");
    events.Click();
    window.RunUntilIdle();
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1].rfind("warning: ", 0), 0u) << window.boxes[1];
    EXPECT_EQ(window.caption, kFormCaption);
    // Against the press before: on Windows the name is listed all the same,
    // with the code page's default character.
    EXPECT_EQ(window.outcome,
              fs::path::preferred_separator == '/'
                  ? "已生成 " + files + " 个文件 (+0 −0)"
                  : "已生成 " + std::to_string(kBasicTreeList.size() + 1) + " 个文件 (+1 −0)");
    EXPECT_TRUE(events.Unload());
    // Once closed, a press queued meanwhile starts nothing, and a second
    // close closes nothing.
    events.Click();
    EXPECT_FALSE(window.busy);
    EXPECT_TRUE(events.Unload());
    EXPECT_EQ(window.boxes.size(), 2u);
}

// The outcome of a press against the list before it (the first press: the
// backup, the last real list) and what ROFS.exclude, read at each press,
// left out. (The caption's form of it is run_window.sh's.)
TEST(FormEvents, TheOutcomeSaysWhatChangedAndWhatThePatternsLeftOut) {
    TestDirectory dir;
    BuildBasicTree(dir);
    WriteBytes(dir.Backup(), ExpectedList(dir, {"b.txt", "gone.txt"}));
    FakeWindow window;
    FormEvents events(dir.Native(), window);
    ASSERT_TRUE(events.Load());
    events.Click();
    window.RunUntilIdle();
    EXPECT_EQ(window.outcome, "已生成 6 个文件 (+5 −1)");

    // A byte order mark, CR LF, a comment and a blank line; a folder left
    // out counts as one entry, and a pattern that names nothing is named.
    const fs::path patterns = dir.Path() / "ROFS.exclude";
    WriteBytes(patterns, "\xEF\xBB\xBF# left out\r\nsys\r\n\r\n*.bak\r\nb.txt\n");
    events.Click();
    window.RunUntilIdle();
    EXPECT_EQ(window.outcome, "已生成 4 个文件 (+0 −2)，已排除 2 项\n未排除任何项的规则：*.bak");
    const std::string list = ReadBytes(dir.List());

    // Patterns that cannot be read fail the press: the list stays as it was.
    fs::remove(patterns);
    fs::create_directory(patterns);
    events.Click();
    window.RunUntilIdle();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].find("ROFS.exclude"), std::string::npos) << window.boxes[0];
    EXPECT_EQ(window.outcome, "");
    EXPECT_EQ(ReadBytes(dir.List()), list);
    EXPECT_TRUE(events.Unload());
}

// A walk stuck for good (here in its first report to the window, as it
// would be in a listing of a drive that stopped answering): the close comes
// back at once, and the walk keeps the folder's lock until it has ended.
TEST(FormEvents, ACloseDoesNotWaitForAStuckWalkWhichKeepsTheLockUntilItEnds) {
    TestDirectory dir;
    BuildBasicTree(dir);
    std::string before;
    {
        FakeWindow window;
        FormEvents events(dir.Native(), window);
        ASSERT_TRUE(events.Load());
        before = ReadBytes(dir.List());
        window.HoldPosts(true);
        events.Click();
        ASSERT_TRUE(window.WaitUntilHeld());
        const auto asked = Clock::now();
        EXPECT_TRUE(events.Unload());
        EXPECT_LT(Clock::now() - asked, FormEvents::kCloseWait + std::chrono::milliseconds(300));
        EXPECT_EQ(window.caption, kFormCaption) << "the count of a walk let go of";

        FakeWindow second;
        EXPECT_FALSE(FormEvents(dir.Native(), second).Load()) << "the lock went with the close";
        window.HoldPosts(false);
        const auto deadline = Clock::now() + kPatience;
        FakeWindow third;
        FormEvents next(dir.Native(), third);
        while (!next.Load() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(next.Unload());
        EXPECT_TRUE(window.boxes.empty());
    }
    EXPECT_EQ(ReadBytes(dir.List()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2)
        << "ROFS and the list alone, no temporary file";
}

// A close during a walk that stops within the wait lets the lock go at
// once: a window started again straight after is not told "busy".
TEST(FormEvents, ACloseDuringAWalkThatStopsInTimeLetsTheLockGoAtOnce) {
    TestDirectory dir;
    BuildBasicTree(dir);
    FakeWindow window;
    FormEvents events(dir.Native(), window);
    ASSERT_TRUE(events.Load());
    const std::string before = ReadBytes(dir.List());
    window.HoldPosts(true);
    events.Click();
    ASSERT_TRUE(window.WaitUntilHeld());
    std::thread answer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        window.HoldPosts(false);
    });
    EXPECT_TRUE(events.Unload());
    answer.join();
    FakeWindow again;
    FormEvents next(dir.Native(), again);
    EXPECT_TRUE(next.Load()) << "the lock outlived the close";
    EXPECT_TRUE(next.Unload());
    EXPECT_EQ(ReadBytes(dir.List()), before);
}

}  // namespace
