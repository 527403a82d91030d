// The texts of the boxes: the error of an event and the warning after a click.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "error_report.h"
#include "problem_report.h"

namespace {

NativeString Path(std::string_view ascii) {
    return NativeString(ascii.begin(), ascii.end());
}

TEST(ErrorReport, ShowsTheNumberTheDescriptionThenThePathMadeSafe) {
    EXPECT_EQ(ErrorReport(Error(76, "找不到路径。")), "运行时错误 '76':\n\n找不到路径。");
    EXPECT_EQ(ErrorReport(Error(76, "找不到路径。").At(Path("R/a\nb"))),
              "运行时错误 '76':\n\n找不到路径。\n\nR/a\\nb");
    // "Busy" says who is busy there, and what to do.
    EXPECT_NE(ErrorReport(BusyError()).find("另一个 ObeyGen 程序正在此处写列表。"),
              std::string::npos);
    EXPECT_NE(ErrorReport(BusyError()).find("\n\n请关闭另一个 ObeyGen 程序"), std::string::npos);
}

// A missing folder's advice depends on which folder it is: the source folder
// is to be made; any other path is to be checked.
TEST(ErrorReport, AdviceForAMissingFolderNamesWhatToMake) {
    const NativeString source = Path("P/ROFS");
    const std::string rofs = ErrorReport(MissingFolderError().At(source), source);
    EXPECT_EQ(
        rofs.substr(rofs.rfind("\n\n") + 2),
        "请在程序所在的文件夹中新建名为 ROFS 的文件夹，把要列出的文件夹复制进去，再点击生成文件。");
    const std::string other = ErrorReport(MissingFolderError().At(Path("P/x")), source);
    EXPECT_EQ(other.substr(other.rfind("\n\n") + 2), "请确认该路径存在后再试。");
}

TEST(ProblemReport, GroupsKindsInOrderWithFullCountsAndAtMostTwentyPaths) {
    ClickSummary summary;
    EXPECT_EQ(ProblemReport(summary), "");
    summary.Add(ProblemKind::kFolderLoop, Path("R/loop"), {});
    for (int i = 0; i < 150; ++i) {
        summary.Add(ProblemKind::kNameNotInCodePage, Path("R/n" + std::to_string(i)), {});
    }
    summary.Add(ProblemKind::kFolderIncomplete, Path("R/locked"), "拒绝访问。");
    summary.Add(ProblemKind::kNotRegularFile, Path("R/fifo"), {});
    std::string expected =
        "生成列表时遇到 153 处问题：\n\n"
        "未能完整列出的文件夹（1 处）：\n    R/locked：拒绝访问。\n\n"
        "名称超出系统代码页、已用替代字符写入的文件（150 处）：\n";
    for (int i = 0; i < 19; ++i) {
        expected += "    R/n" + std::to_string(i) + "\n";
    }
    // The group of a kind listed in full is shown even when no path is left.
    expected +=
        "\n指回上层、已跳过的文件夹链接（1 处）：\n"
        "\n不是普通文件、未列出的项目（1 处）：\n\n另有 133 处未列出。";
    EXPECT_EQ(ProblemReport(summary), expected);
    // A clash names both paths.
    ClickSummary clash;
    clash.Add(ProblemKind::kNameClash, Path("R/b"), {}, Path("R/B"));
    EXPECT_NE(ProblemReport(clash).find("\n    R/b 与 R/B"), std::string::npos);
    // A name the builder reads as another says what it reads.
    ClickSummary readAs;
    readAs.Add(ProblemKind::kBuilderName, Path("R/a."), {}, Path("R/a"));
    readAs.Add(ProblemKind::kBuilderName, Path("R/x"), {});
    EXPECT_EQ(ProblemReport(readAs),
              "生成列表时遇到 2 处问题：\n\n"
              "生成镜像时会被读成另一名称或另一文件、已跳过的文件或文件夹（2 处）：\n"
              "    R/a. 读作 R/a\n    R/x（镜像中名称为空）");
}

TEST(ProblemReport, PathsAreMadeSafeForAMessageBox) {
    const std::string bad = "\xEF\xBF\xBD";
    // An emoji, which the system fonts draw as an empty box.
    EXPECT_EQ(ReportableText("文件夹/a\xF0\x9F\x98\x80"
                             "b"),
              "文件夹/a\\U0001F600b");
    EXPECT_EQ(ReportableText("a\nb\r\t\x01"), "a\\nb\\r\\t\\x01");
    // A byte that is no UTF-8, as POSIX names may hold.
    EXPECT_EQ(ReportableText("a\xFF"
                             "b"),
              "a" + bad + "b");
}

}  // namespace
