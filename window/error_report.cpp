#include "error_report.h"

#include "error_cause.h"
#include "problem_report.h"

namespace {

// In the words of the buttons and folders the user sees.
std::string Advice(const Error& error, NativeView sourceFolder) {
    switch (CauseOf(error.Number())) {
        case ErrorCause::kNotFound:
            if (!sourceFolder.empty() && error.Path() == sourceFolder) {
                return "请在程序所在的文件夹中新建名为 ROFS 的文件夹，把要列出的文件夹复制进去，"
                       "再点击生成文件。";
            }
            return "请确认该路径存在后再试。";
        case ErrorCause::kBusy:
            return "请关闭另一个 ObeyGen 程序，或等它写完后再试。";
        case ErrorCause::kAccessDenied:
            return "请确认有权读写该文件或文件夹、它不是只读的，或换一个有权限的用户运行程序。";
        case ErrorCause::kDiskFull:
            return "请清理出磁盘空间后再试。";
        case ErrorCause::kOther:
            break;
    }
    return {};
}

}  // namespace

std::string ErrorReport(const Error& error, NativeView sourceFolder) {
    std::string report =
        "运行时错误 '" + std::to_string(error.Number()) + "':\n\n" + error.Description();
    // The system's words for "busy" do not say who holds the folder.
    if (error.Number() == BusyError().Number()) {
        report += "\n另一个 ObeyGen 程序正在此处写列表。";
    }
    if (!error.Path().empty()) {
        report += "\n\n" + ReportableText(DisplayText(error.Path()));
    }
    const std::string advice = Advice(error, sourceFolder);
    if (!advice.empty()) {
        report += "\n\n" + advice;
    }
    return report;
}
