// The Chinese warning after a click with problems.
#include <gtest/gtest.h>

#include <string>

#include "problem_report.h"

namespace {

NativeString Path(const std::string& ascii) {
    return NativeFromAscii(ascii);
}

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(ProblemReport, NothingForAClickWithoutProblems) {
    ClickSummary summary;
    summary.CountLine();
    EXPECT_EQ(ProblemReport(summary), "");
}

TEST(ProblemReport, GroupsByKindInAFixedOrderWithCountsAndReasons) {
    ClickSummary summary;
    summary.Add(ProblemKind::kFolderLoop, Path("R/loop"), {});
    summary.Add(ProblemKind::kNameNotInCodePage, Path("R/a?.txt"), {});
    summary.Add(ProblemKind::kFolderIncomplete, Path("R/locked"), "拒绝访问。");
    summary.Add(ProblemKind::kFolderIncomplete, Path("R/gone"), "找不到路径。");
    const std::string report = ProblemReport(summary);

    EXPECT_EQ(report.find("生成列表时遇到 4 处问题："), 0u) << report;
    const std::size_t incomplete = report.find("未能完整列出的文件夹（2 处）：");
    const std::size_t codePage = report.find("已用替代字符写入的文件（1 处）：");
    const std::size_t loop = report.find("已跳过的文件夹链接（1 处）：");
    ASSERT_NE(incomplete, std::string::npos) << report;
    ASSERT_NE(codePage, std::string::npos) << report;
    ASSERT_NE(loop, std::string::npos) << report;
    EXPECT_LT(incomplete, codePage);
    EXPECT_LT(codePage, loop);
    EXPECT_EQ(report.find("换行符"), std::string::npos) << "a group without problems";

    // Each path under its own heading, a folder's reason beside it.
    const std::size_t locked = report.find("    R/locked：拒绝访问。\n");
    const std::size_t gone = report.find("    R/gone：找不到路径。\n");
    EXPECT_TRUE(incomplete < locked && locked < codePage) << report;
    EXPECT_TRUE(incomplete < gone && gone < codePage) << report;
    EXPECT_GT(report.find("    R/a?.txt\n"), codePage);
    EXPECT_GT(report.find("    R/loop"), loop);
    EXPECT_EQ(report.find("另有"), std::string::npos);
    EXPECT_NE(report.back(), '\n');
}

TEST(ProblemReport, ListsTwentyPathsAndCountsTheRestIncludingThoseNotKept) {
    ClickSummary summary;
    for (int i = 0; i < 150; ++i) {
        summary.Add(ProblemKind::kNameNotInCodePage, Path("R/n" + std::to_string(i)), {});
    }
    for (int i = 0; i < 5; ++i) {
        summary.Add(ProblemKind::kLineBreakInName, Path("R/b" + std::to_string(i)), {});
    }
    const std::string report = ProblemReport(summary);

    EXPECT_EQ(CountOf(report, "\n    R/"), kReportedProblemPaths) << report;
    // Full counts, beyond what the summary kept and what the box lists.
    EXPECT_NE(report.find("生成列表时遇到 155 处问题"), std::string::npos);
    EXPECT_NE(report.find("（150 处）"), std::string::npos);
    EXPECT_NE(report.find("已跳过的文件或文件夹（5 处）"), std::string::npos);
    EXPECT_NE(report.find("另有 135 处未列出。"), std::string::npos) << report;
    EXPECT_EQ(report.find("R/b0"), std::string::npos);
}

TEST(ProblemReport, PathsAreMadeSafeForAMessageBox) {
    EXPECT_EQ(ReportableText("文件夹/a.txt"), "文件夹/a.txt");
    EXPECT_EQ(ReportableText("line\nbreak\r\t"), "line\\nbreak\\r\\t");
    EXPECT_EQ(ReportableText(std::string("nul\0end", 7)), "nul\\x00end");
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(ReportableText("a\xFF"
                             "b"),
              "a" + replacement + "b");
    // Overlong forms, encoded surrogates and cut sequences are not UTF-8.
    EXPECT_EQ(ReportableText("\xC0\xAF"), replacement + replacement);
    EXPECT_EQ(ReportableText("\xED\xA0\x80"), replacement + replacement + replacement);
    EXPECT_EQ(ReportableText("end\xE4\xB8"), "end" + replacement + replacement);
    EXPECT_EQ(ReportableText("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

}  // namespace
