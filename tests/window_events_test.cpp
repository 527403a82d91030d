// What the user is shown for each event, on a real program directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "failing_file_system.h"
#include "form_events.h"
#include "test_tree.h"

namespace {

class RecordedFeedback : public FormFeedback {
  public:
    void ShowError(const std::string& text) override { shown.push_back("error: " + text); }
    void ShowWarning(const std::string& text) override { shown.push_back("warning: " + text); }
    void SetBusy(bool busy) override { shown.push_back(busy ? "busy" : "idle"); }

    std::vector<std::string> shown;
};

class FormEventsTest : public ::testing::Test {
  protected:
    TestDirectory dir;
    FaultPlan plan;
    FailingFileSystem fileSystem{plan};
    RecordedFeedback feedback;
    FormEvents events{fileSystem, dir.Native(), feedback};
};

const std::string kInjectedReport =
    "error: 运行时错误 '" + std::to_string(InjectedErrorNumber()) + "':\n\n";

TEST_F(FormEventsTest, AFailedLoadIsReportedWithTheErrorNumberAndNoWalk) {
    plan.failCreate = true;
    EXPECT_FALSE(events.Load());
    ASSERT_EQ(feedback.shown.size(), 1u);
    EXPECT_EQ(feedback.shown[0].rfind(kInjectedReport, 0), 0u) << feedback.shown[0];
    EXPECT_GT(feedback.shown[0].size(), kInjectedReport.size()) << "no description";
}

TEST_F(FormEventsTest, AFailedClickKeepsTheListOpenForTheNextPress) {
    ASSERT_TRUE(events.Load());
    events.Click();  // no ROFS folder yet
    ASSERT_EQ(feedback.shown.size(), 3u);
    EXPECT_EQ(feedback.shown[0], "busy");
    EXPECT_EQ(feedback.shown[1], "idle") << "the box must not wait under a wait cursor";
    EXPECT_EQ(feedback.shown[2].rfind("error: 运行时错误 '", 0), 0u);

    dir.AddFile("a.txt");
    events.Click();
    EXPECT_EQ(feedback.shown.size(), 5u) << "a clean click shows nothing";
    EXPECT_TRUE(events.Unload());
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"a.txt"}));
}

TEST_F(FormEventsTest, AFailedFlushIsReportedAndTheListKeepsWhatReachedIt) {
    dir.AddFile("a.txt");
    ASSERT_TRUE(events.Load());
    events.Click();
    plan.diskFull = true;
    events.Click();
    ASSERT_EQ(feedback.shown.size(), 5u);
    EXPECT_EQ(feedback.shown[4].rfind(kInjectedReport, 0), 0u) << feedback.shown[4];
    plan.diskFull = false;
    events.Unload();
    EXPECT_EQ(ReadBytes(dir.List()).rfind(ExpectedList(dir, {"a.txt"}), 0), 0u);
}

TEST_F(FormEventsTest, ProblemsOfTheWalkBecomeOneWarningAfterIt) {
    dir.AddFile("good.txt");
    dir.AddFile("locked/x.txt");
    dir.AddFile("locked2/y.txt");
    plan.failOpen.insert((dir.Path() / "ROFS" / "locked").native());
    plan.failOpen.insert((dir.Path() / "ROFS" / "locked2").native());
    ASSERT_TRUE(events.Load());
    events.Click();
    ASSERT_EQ(feedback.shown.size(), 3u);
    EXPECT_EQ(feedback.shown[1], "idle");
    const std::string& warning = feedback.shown[2];
    EXPECT_EQ(warning.rfind("warning: 生成列表时遇到 2 处问题", 0), 0u) << warning;
    EXPECT_NE(warning.find("未能完整列出的文件夹（2 处）"), std::string::npos) << warning;
    EXPECT_NE(warning.find("locked2"), std::string::npos) << warning;
    events.Unload();
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"good.txt"}));
}

}  // namespace
