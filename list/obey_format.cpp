#include "obey_format.h"

#include "error.h"

namespace {

bool CutsWords(NativeChar c) {
    return c == ' ' || c == '\t' || c == '=';
}

// The first character at or after from that would cut the builder's word,
// or the text's length.
std::size_t FirstWordCut(NativeView text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (CutsWords(text[i])) {
            return i;
        }
    }
    return text.size();
}

void AppendWord(NativeString& line, NativeView word, bool quoted) {
    if (quoted) {
        line.push_back('"');
        line.append(word);
        line.push_back('"');
    } else {
        line.append(word);
    }
}

}  // namespace

std::string HeaderBytes(std::string_view imageName, std::string_view imageSize) {
    std::string header = "rofsname=";
    header.append(imageName).append("\r\nrofssize=").append(imageSize).append("\r\n");
    return header;
}

// One scan finds what most lines are: nothing to quote. The image path is
// the host path's end, so a cut found there is in both; one found before it
// leaves the image path to a scan of its own.
void BuildFileLine(NativeView path, NativeView rootPath, NativeString& line) {
    if (path.size() < rootPath.size()) {
        throw InvalidArgumentError();
    }
    const NativeView image = path.substr(rootPath.size());
    const std::size_t cut = FirstWordCut(path, 0);
    const bool quoteHost = cut != path.size();
    const bool quoteImage =
        quoteHost && (cut >= rootPath.size() || FirstWordCut(path, rootPath.size()) != path.size());
    constexpr NativeChar kKeyword[] = {'f', 'i', 'l', 'e', '='};
    constexpr NativeChar kSpacesBefore[] = {' ', ' ', ' ', ' '};
    constexpr NativeChar kLineEnd[] = {'\r', '\n'};
    line.assign(kKeyword, sizeof kKeyword / sizeof kKeyword[0]);
    AppendWord(line, path, quoteHost);
    line.append(kSpacesBefore, sizeof kSpacesBefore / sizeof kSpacesBefore[0]);
    AppendWord(line, image, quoteImage);
    line.append(kLineEnd, sizeof kLineEnd / sizeof kLineEnd[0]);
}

// Two searches for one character each: these run at memchr's speed, where
// one search for either character goes a character at a time.
bool HasLineBreak(NativeView text) {
    return text.find(static_cast<NativeChar>('\n')) != NativeView::npos ||
           text.find(static_cast<NativeChar>('\r')) != NativeView::npos;
}

bool HasQuote(NativeView text) {
    return text.find(static_cast<NativeChar>('"')) != NativeView::npos;
}
