#include "program_directory.h"

NativeString DirectoryOfExecutable(NativeView executablePath) {
    const std::size_t separator = executablePath.rfind(kSeparator);
    if (separator == NativeView::npos) {
        return NativeString(executablePath);
    }
    NativeString directory(executablePath.substr(0, separator));
    // "C:" alone means the drive's current directory and "" means nothing:
    // a root keeps its separator.
    const bool driveRoot = directory.size() == 2 && directory[1] == static_cast<NativeChar>(':');
    if (directory.empty() || driveRoot) {
        directory.push_back(kSeparator);
    }
    return directory;
}
