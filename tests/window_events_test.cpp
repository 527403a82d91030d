// What the user is shown for each event, on a real program directory.
#include <gtest/gtest.h>

#include <string>

#include "form_events.h"
#include "test_tree.h"

namespace {

class RecordedFeedback : public FormFeedback {
  public:
    void ShowError(const std::string& text) override { shown += "error: " + text + "|"; }
    void ShowWarning(const std::string& text) override { shown += "warning: " + text + "|"; }
    void SetBusy(bool busy) override { shown += busy ? "busy|" : "idle|"; }

    std::string shown;
};

TEST(FormEvents, ErrorsAreReportedAfterTheWaitAndAFailedClickLeavesTheListOpen) {
    TestDirectory dir;
    RecordedFeedback feedback;
    FormEvents absent((dir.Path() / "absent").native(), feedback);
    EXPECT_FALSE(absent.Load());
    EXPECT_EQ(feedback.shown.rfind("error: 运行时错误 '", 0), 0u) << feedback.shown;

    FormEvents events(dir.Native(), feedback);
    feedback.shown.clear();
    ASSERT_TRUE(events.Load());
    events.Click();  // no ROFS folder yet
    EXPECT_EQ(feedback.shown.rfind("busy|idle|error: 运行时错误 '", 0), 0u) << feedback.shown;
    dir.AddFile("a.txt");
    feedback.shown.clear();
    events.Click();
    EXPECT_EQ(feedback.shown, "busy|idle|");
    EXPECT_TRUE(events.Unload());
    EXPECT_EQ(ReadBytes(dir.List()), ExpectedList(dir, {"a.txt"}));
}

}  // namespace
