#include "obey_format.h"

#include "error.h"

std::string HeaderBytes(std::string_view imageName, std::string_view imageSize) {
    std::string header = "rofsname=";
    header.append(imageName).append("\r\nrofssize=").append(imageSize).append("\r\n");
    return header;
}

void BuildFileLine(NativeView path, NativeView rootPath, NativeString& line) {
    if (path.size() < rootPath.size()) {
        throw InvalidArgumentError();
    }
    constexpr NativeChar kKeyword[] = {'f', 'i', 'l', 'e', '='};
    constexpr NativeChar kSpacesBefore[] = {' ', ' ', ' ', ' '};
    constexpr NativeChar kLineEnd[] = {'\r', '\n'};
    line.assign(kKeyword, sizeof kKeyword / sizeof kKeyword[0]);
    line.append(path);
    line.append(kSpacesBefore, sizeof kSpacesBefore / sizeof kSpacesBefore[0]);
    line.append(path.substr(rootPath.size()));
    line.append(kLineEnd, sizeof kLineEnd / sizeof kLineEnd[0]);
}

// Two searches for one character each: these run at memchr's speed, where
// one search for either character goes a character at a time.
bool HasLineBreak(NativeView text) {
    return text.find(static_cast<NativeChar>('\n')) != NativeView::npos ||
           text.find(static_cast<NativeChar>('\r')) != NativeView::npos;
}
