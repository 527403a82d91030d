#include "problem_report.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "valid_utf8.h"

namespace {

// Each kind's heading, followed by its count, in the order of the kinds,
// which is the order the groups appear in: what lost lines from the list
// first.
constexpr std::array<std::string_view, 8> kHeadings = {{
    "未能完整列出的文件夹",
    "名称超出系统代码页、已用替代字符写入的文件",
    "名称含换行符、已跳过的文件或文件夹",
    "指回上层、已跳过的文件夹链接",
    "不是普通文件、未列出的项目",
    "名称含双引号、已跳过的文件或文件夹",
    "与同一文件夹中另一项同名（不计英文字母大小写）、生成镜像时会冲突的文件或文件夹",
    "生成镜像时会被读成另一名称或另一文件、已跳过的文件或文件夹",
}};
static_assert(kHeadings.size() == kProblemKindCount, "a heading for every kind");

void AppendEscape(std::string& out, unsigned char c) {
    switch (c) {
        case '\r':
            out += "\\r";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\t':
            out += "\\t";
            return;
        default: {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        }
    }
}

// A four-byte UTF-8 sequence, known to be valid, as \U0001F600.
void AppendCodePointEscape(std::string& out, std::string_view sequence) {
    unsigned long codePoint = static_cast<unsigned char>(sequence[0]) & 0x07u;
    for (std::size_t k = 1; k < 4; ++k) {
        codePoint = codePoint << 6 | (static_cast<unsigned char>(sequence[k]) & 0x3Fu);
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "\\U%08lX", codePoint);
    out += buffer;
}

}  // namespace

std::string ReportableText(std::string_view text) {
    const std::string valid = ValidUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto byte = static_cast<unsigned char>(valid[i]);
        if (byte < 0x20 || byte == 0x7F) {
            AppendEscape(out, byte);
        } else if (byte >= 0xF0) {
            // Beyond the Basic Multilingual Plane (emoji, rare ideographs):
            // the system fonts of a Chinese Windows draw most of these as
            // empty boxes, which would hide which name it was.
            AppendCodePointEscape(out, valid.substr(i, 4));
            i += 3;
        } else {
            out.push_back(valid[i]);
        }
    }
    return out;
}

std::string ProblemReport(const ClickSummary& summary) {
    if (!summary.HasProblems()) {
        return {};
    }
    std::string report = "生成列表时遇到 " + std::to_string(summary.ProblemCount()) + " 处问题：\n";
    std::size_t listed = 0;
    for (std::size_t k = 0; k < kProblemKindCount; ++k) {
        const auto kind = static_cast<ProblemKind>(k);
        const std::uint64_t count = summary.Count(kind);
        if (count == 0) {
            continue;
        }
        report += "\n";
        report += kHeadings[k];
        report += "（" + std::to_string(count) + " 处）：\n";
        for (const Problem& problem : summary.Kept()) {
            if (problem.kind != kind || listed == kReportedProblemPaths) {
                continue;
            }
            report += "    " + ReportableText(DisplayText(problem.path));
            if (kind == ProblemKind::kBuilderName) {
                report += problem.other.empty()
                              ? "（镜像中名称为空）"
                              : " 读作 " + ReportableText(DisplayText(problem.other));
            } else if (!problem.other.empty()) {
                report += " 与 " + ReportableText(DisplayText(problem.other));
            }
            if (!problem.reason.empty()) {
                report += "：" + problem.reason;
            }
            report += "\n";
            ++listed;
        }
    }
    const std::uint64_t unlisted = summary.ProblemCount() - listed;
    if (unlisted != 0) {
        report += "\n另有 " + std::to_string(unlisted) + " 处未列出。\n";
    }
    // No trailing line break: message boxes would show it as an empty line.
    while (!report.empty() && report.back() == '\n') {
        report.pop_back();
    }
    return report;
}
