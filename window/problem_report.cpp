#include "problem_report.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace {

// Each kind's heading, followed by its count, in the order of the kinds,
// which is the order the groups appear in: what lost lines from the list
// first.
constexpr std::array<std::string_view, 5> kHeadings = {{
    "未能完整列出的文件夹",
    "名称超出系统代码页、已用替代字符写入的文件",
    "名称含换行符、已跳过的文件或文件夹",
    "指回上层、已跳过的文件夹链接",
    "不是普通文件、未列出的项目",
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

// The length of the valid UTF-8 sequence at text[i], or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length;
    std::uint32_t minimum;
    std::uint32_t code;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < minimum || code > 0x10FFFF || surrogate) {
        return 0;
    }
    return length;
}

}  // namespace

std::string ReportableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, c);
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
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
