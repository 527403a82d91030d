#include "obey_format.h"

#include "error.h"

std::string HeaderBytes() {
    std::string bytes;
    bytes.append(kImageNameLine).append("\r\n");
    bytes.append(kImageSizeLine).append("\r\n");
    return bytes;
}

void BuildFileLine(NativeView path, NativeView rootPath, NativeString& line) {
    line.clear();
    if (path.size() < rootPath.size()) {
        throw InvalidArgumentError();
    }
    const NativeView imagePath = path.substr(rootPath.size());
    AppendAscii(line, "file=");
    line.append(path);
    AppendAscii(line, "    ");
    line.append(imagePath);
}

NativeView TrimSpaces(NativeView text) {
    const NativeChar space = static_cast<NativeChar>(' ');
    while (!text.empty() && text.front() == space) {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == space) {
        text.remove_suffix(1);
    }
    return text;
}

bool HasLineBreak(NativeView text) {
    for (NativeChar c : text) {
        if (c == static_cast<NativeChar>('\r') || c == static_cast<NativeChar>('\n')) {
            return true;
        }
    }
    return false;
}
