#include "error_report.h"

#include "problem_report.h"

std::string ErrorReport(const Error& error) {
    std::string report =
        "运行时错误 '" + std::to_string(error.Number()) + "':\n\n" + error.Description();
    // The system's words for "busy" do not say who holds the folder.
    if (error.Number() == BusyError().Number()) {
        report += "\n另一个 ObeyGen 程序正在此处写列表。";
    }
    if (!error.Path().empty()) {
        report += "\n\n" + ReportableText(DisplayText(error.Path()));
    }
    return report;
}
