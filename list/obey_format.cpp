#include "obey_format.h"

#include "error.h"

std::string HeaderBytes() {
    std::string bytes;
    bytes.append(kImageNameLine).append("\r\n");
    bytes.append(kImageSizeLine).append("\r\n");
    return bytes;
}

namespace {

constexpr NativeChar kKeyword[] = {'f', 'i', 'l', 'e', '='};
constexpr NativeChar kSeparatorSpaces[] = {' ', ' ', ' ', ' '};

}  // namespace

FileLinePieces FileLine(NativeView path, NativeView rootPath) {
    if (path.size() < rootPath.size()) {
        throw InvalidArgumentError();
    }
    return {NativeView(kKeyword, sizeof kKeyword / sizeof kKeyword[0]), path,
            NativeView(kSeparatorSpaces, sizeof kSeparatorSpaces / sizeof kSeparatorSpaces[0]),
            path.substr(rootPath.size())};
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
