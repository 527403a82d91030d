#include "error_report.h"

std::string ErrorReport(const Error& error) {
    return "运行时错误 '" + std::to_string(error.Number()) + "':\n\n" + error.Description();
}
