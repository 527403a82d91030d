#include "obey_format.h"

#include <cstdint>
#include <cstring>

#include "error.h"

namespace {

bool CutsWords(NativeChar c) {
    return c == ' ' || c == '\t' || c == '=';
}

// Whether eight bytes hold "=" or a byte below "!" (a space, a tab, rarely
// another control character).
bool MayCutWords(const NativeChar* at) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    std::uint64_t word;
    std::memcpy(&word, at, 8);
    const std::uint64_t equals = word ^ (kOnes * '=');
    return (((word - kOnes * '!') | (equals - kOnes)) & ~word & kHighs) != 0;
}

// The first character at or after from that would cut the builder's word,
// or the text's length. Every line is scanned, so where characters are
// bytes they go eight at a time, the last eight overlapping the eight before,
// and only eight that may hold one are looked at one by one.
std::size_t FirstWordCut(NativeView text, std::size_t from) {
    std::size_t i = from;
    if constexpr (sizeof(NativeChar) == 1) {
        if (text.size() - from >= 8) {
            for (;; i += 8) {
                if (i + 8 > text.size()) {
                    i = text.size() - 8;
                    if (!MayCutWords(text.data() + i)) {
                        return text.size();
                    }
                    break;
                }
                if (MayCutWords(text.data() + i)) {
                    break;
                }
            }
        }
    }
    for (; i < text.size(); ++i) {
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

// One scan of the image path finds what most lines are: nothing to quote.
void BuildFileLine(NativeView path, NativeView rootPath, bool rootNeedsQuotes, NativeString& line) {
    if (path.size() < rootPath.size()) {
        throw InvalidArgumentError();
    }
    const NativeView image = path.substr(rootPath.size());
    const bool quoteImage = FirstWordCut(path, rootPath.size()) != path.size();
    constexpr NativeChar kKeyword[] = {'f', 'i', 'l', 'e', '='};
    constexpr NativeChar kSpacesBefore[] = {' ', ' ', ' ', ' '};
    constexpr NativeChar kLineEnd[] = {'\r', '\n'};
    line.assign(kKeyword, sizeof kKeyword / sizeof kKeyword[0]);
    AppendWord(line, path, rootNeedsQuotes || quoteImage);
    line.append(kSpacesBefore, sizeof kSpacesBefore / sizeof kSpacesBefore[0]);
    AppendWord(line, image, quoteImage);
    line.append(kLineEnd, sizeof kLineEnd / sizeof kLineEnd[0]);
}

bool NeedsQuotes(NativeView text) {
    return FirstWordCut(text, 0) != text.size();
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
