#include "error_report.h"

#include "problem_report.h"

std::string ErrorReport(const Error& error) {
    std::string report =
        "运行时错误 '" + std::to_string(error.Number()) + "':\n\n" + error.Description();
    if (!error.Path().empty()) {
        report += "\n\n" + ReportableText(DisplayText(error.Path()));
    }
    return report;
}
