#include "obey_reader.h"

#include <utility>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr unsigned char kEndsLine = 1;
constexpr unsigned char kEndsWord = 2;

struct ByteKinds {
    unsigned char of[256];
    constexpr ByteKinds() : of{} {
        of[static_cast<unsigned char>('\r')] = kEndsLine | kEndsWord;
        of[static_cast<unsigned char>('\n')] = kEndsLine | kEndsWord;
        for (const char c : {' ', '\t', '=', '"'}) {
            of[static_cast<unsigned char>(c)] = kEndsWord;
        }
    }
};
constexpr ByteKinds kByteKinds;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

}  // namespace

bool IsKeyword(std::string_view word, std::string_view keyword) {
    if (word.size() != keyword.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (LowerAscii(word[i]) != LowerAscii(keyword[i])) {
            return false;
        }
    }
    return true;
}

// Most bytes of a long line are inside a bare word, or in a comment: those
// runs go at a table look-up a byte, the rest one by one.
void ObeyReader::Feed(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const bool inBareWord = inWord_ && !quoted_ && headLength_ == 3;
        if (comment_ || inBareWord) {
            const unsigned char ends = comment_ ? kEndsLine : kEndsWord;
            std::size_t end = i;
            while (end < bytes.size() &&
                   (kByteKinds.of[static_cast<unsigned char>(bytes[end])] & ends) == 0) {
                ++end;
            }
            if (end != i) {
                if (!comment_) {
                    AppendRun(bytes.substr(i, end - i));
                }
                afterCr_ = false;
                i = end;
                continue;
            }
        }
        const char c = bytes[i++];
        if (c == '\r' || c == '\n') {
            // LF right after CR ends nothing more.
            if (!(c == '\n' && afterCr_)) {
                EndLine();
            }
            afterCr_ = c == '\r';
            continue;
        }
        afterCr_ = false;
        if (!lineBegun_) {
            lineBegun_ = true;
            ++line_.number;
        }
        Take(c);
    }
}

void ObeyReader::Finish() {
    if (lineBegun_) {
        EndLine();
    }
}

// One character of a line that is not (yet) known as a comment.
void ObeyReader::Take(char c) {
    if (headLength_ < 3 && !(headLength_ == 0 && IsBlank(c))) {
        constexpr char kRem[] = "rem";
        if (LowerAscii(c) != kRem[headLength_]) {
            headLength_ = 3;  // the line's start is no REM: look no further
        } else if (++headLength_ == 3) {
            comment_ = true;
            return;
        }
    }
    if (quoted_) {
        if (c == '"') {
            AppendBlanks();
            EndWord();
        } else if (IsBlank(c)) {
            // Dropped if the line ends before another character. More than
            // a word holds would cut it short anyway.
            if (blanks_.size() < kMostWordBytes) {
                blanks_.push_back(c);
            } else {
                blanksPastRoom_ = true;
            }
        } else {
            AppendBlanks();
            Append(c);
        }
        return;
    }
    if (c == '"') {
        EndWord();
        inWord_ = true;
        quoted_ = true;
        ++line_.wordCount;
        if (line_.wordCount <= kMostWords) {
            NewWord();
        }
        return;
    }
    if (IsBlank(c) || c == '=') {
        EndWord();
        return;
    }
    if (!inWord_) {
        inWord_ = true;
        ++line_.wordCount;
        if (line_.wordCount <= kMostWords) {
            NewWord();
        }
    }
    Append(c);
}

// A word's room is kept from line to line: a list is read without an
// allocation a line.
void ObeyReader::NewWord() {
    if (spare_.empty()) {
        line_.words.emplace_back();
        return;
    }
    line_.words.push_back(std::move(spare_.back()));
    spare_.pop_back();
    line_.words.back().clear();
}

void ObeyReader::AppendRun(std::string_view run) {
    if (line_.wordCount > kMostWords) {
        return;
    }
    std::string& word = line_.words.back();
    const std::size_t room = kMostWordBytes - word.size();
    word.append(run.substr(0, room));
    line_.cutShort = line_.cutShort || run.size() > room;
}

void ObeyReader::Append(char c) {
    if (line_.wordCount > kMostWords) {
        return;
    }
    std::string& word = line_.words.back();
    if (word.size() < kMostWordBytes) {
        word.push_back(c);
    } else {
        line_.cutShort = true;
    }
}

// The blanks of a quoted word that a character follows: the line's end
// does not drop them.
void ObeyReader::AppendBlanks() {
    for (const char blank : blanks_) {
        Append(blank);
    }
    line_.cutShort = line_.cutShort || blanksPastRoom_;
    blanks_.clear();
    blanksPastRoom_ = false;
}

void ObeyReader::EndWord() {
    inWord_ = false;
    quoted_ = false;
    blanks_.clear();
    blanksPastRoom_ = false;
}

void ObeyReader::EndLine() {
    EndWord();
    if (!comment_ && line_.wordCount != 0) {
        sink_(line_);
    }
    if (!lineBegun_) {
        ++line_.number;  // a blank line still counts
    }
    for (std::string& word : line_.words) {
        spare_.push_back(std::move(word));
    }
    line_.words.clear();
    line_.wordCount = 0;
    line_.cutShort = false;
    comment_ = false;
    headLength_ = 0;
    lineBegun_ = false;
}
