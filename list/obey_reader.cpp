#include "obey_reader.h"

#include <charconv>
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

}  // namespace

std::uint64_t FoldedHash(std::string_view bytes, std::uint64_t hash) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(FoldAscii(c))) * 1099511628211ull;
    }
    return hash;
}

// Most bytes of a long line are inside a bare word, or in a comment: those
// runs go at a table look-up a byte, the rest one by one.
void ObeyReader::Feed(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && !stopped_) {
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
    if (lineBegun_ && !stopped_) {
        EndLine();
    }
}

// One character of a line that is not (yet) known as a comment.
void ObeyReader::Take(char c) {
    if (headLength_ < 3 && !(headLength_ == 0 && IsBlank(c))) {
        constexpr char kRem[] = "rem";
        if (FoldAscii(c) != kRem[headLength_]) {
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
        BeginWord();
        quoted_ = true;
        return;
    }
    if (IsBlank(c) || c == '=') {
        EndWord();
        if (line_.wordCount != 0 && gap_.size() < kMostGapBytes) {
            gap_.push_back(c);
        }
        return;
    }
    if (!inWord_) {
        BeginWord();
    }
    Append(c);
}

void ObeyReader::BeginWord() {
    inWord_ = true;
    ++line_.wordCount;
    if (line_.wordCount <= kMostWords) {
        NewWord();
        line_.gaps.push_back(gap_);
        line_.restHashes.push_back(kFoldedHashStart);
    }
    gap_.clear();
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
    if (run.size() > room) {
        line_.cutShort = true;
        line_.restHashes.back() = FoldedHash(run.substr(room), line_.restHashes.back());
    }
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
        line_.restHashes.back() = FoldedHash(std::string_view(&c, 1), line_.restHashes.back());
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
        stopped_ = IsKeyword(line_.words[0], "stop");
    }
    if (!lineBegun_) {
        ++line_.number;  // a blank line still counts
    }
    for (std::string& word : line_.words) {
        spare_.push_back(std::move(word));
    }
    line_.words.clear();
    line_.gaps.clear();
    line_.restHashes.clear();
    gap_.clear();
    line_.wordCount = 0;
    line_.cutShort = false;
    comment_ = false;
    headLength_ = 0;
    lineBegun_ = false;
}

namespace {

bool StartsWithFolded(std::string_view word, std::string_view start) {
    return word.size() >= start.size() && IsKeyword(word.substr(0, start.size()), start);
}

// An abbreviation: the word is the name's start, three letters at least.
bool Abbreviates(std::string_view word, std::string_view name) {
    return word.size() >= 3 && word.size() <= name.size() &&
           IsKeyword(word, name.substr(0, word.size()));
}

// Attributes that take a value (attrib=r) and those that take none; the
// first five of each are known by any abbreviation of three letters or more.
constexpr std::string_view kValuedAttributes[] = {"attrib",  "exattrib",  "stack", "priority",
                                                  "uid1",    "uid2",      "uid3",  "heapmin",
                                                  "heapmax", "capability"};
constexpr std::string_view kBareAttributes[] = {
    "fixed", "unpaged", "paged", "unpagedcode", "pagedcode", "unpageddata", "pageddata"};
constexpr std::size_t kAbbreviated = 5;

template <std::size_t N>
bool IsOneOf(std::string_view word, const std::string_view (&names)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (i < kAbbreviated ? Abbreviates(word, names[i]) : IsKeyword(word, names[i])) {
            return true;
        }
    }
    return false;
}

template <typename Char>
bool IsDigit(Char c) {
    return c >= '0' && c <= '9';
}

template <typename Char>
bool IsHexDigit(Char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A decimal number below 65536, the whole of text.
template <typename Char>
bool ParseVersionPart(std::basic_string_view<Char> text, unsigned long& value) {
    value = 0;
    for (const Char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value >= 65536) {
            return false;
        }
    }
    return !text.empty();
}

}  // namespace

bool IsKnownKeyword(std::string_view keyword) {
    static constexpr std::string_view kKeywords[] = {"file",
                                                     "data",
                                                     "dir",
                                                     "dircopy",
                                                     "hide",
                                                     "alias",
                                                     "rename",
                                                     "rofsname",
                                                     "rofssize",
                                                     "romsize",
                                                     "romchecksum",
                                                     "version",
                                                     "time",
                                                     "extensionrofs",
                                                     "extensionrofsname",
                                                     "coreimage",
                                                     "autosize",
                                                     "pagingoverride",
                                                     "codepagingoverride",
                                                     "datapagingoverride",
                                                     "dataimagename",
                                                     "dataimagefilesystem",
                                                     "dataimagesize",
                                                     "volumeid",
                                                     "volume",
                                                     "sectorsize",
                                                     "clustersize",
                                                     "fattable",
                                                     "trace",
                                                     "filecompress",
                                                     "fileuncompress",
                                                     "patchdata",
                                                     "imagename",
                                                     "hcrdata",
                                                     "smrdata",
                                                     "formatversion",
                                                     "payloadflags",
                                                     "payloaduid",
                                                     "rem",
                                                     "stop"};
    for (const std::string_view known : kKeywords) {
        if (IsKeyword(keyword, known)) {
            return true;
        }
    }
    // hide, alias and rename also with one letter after them: hidea.
    for (const std::string_view known : {"hide", "alias", "rename"}) {
        if (keyword.size() == known.size() + 1 && StartsWithFolded(keyword, known)) {
            const char last = FoldAscii(keyword.back());
            if (last >= 'a' && last <= 'z') {
                return true;
            }
        }
    }
    return false;
}

bool IsValuedAttribute(std::string_view word) {
    return IsOneOf(word, kValuedAttributes);
}

bool AreAttributes(const std::vector<std::string>& words, std::size_t& first) {
    for (std::size_t i = 3; i < words.size(); ++i) {
        if (IsValuedAttribute(words[i]) && i + 1 < words.size()) {
            ++i;
        } else if (!IsOneOf(words[i], kBareAttributes)) {
            first = i;
            return false;
        }
    }
    return true;
}

bool IsImageSize(std::string_view text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* const first = text.data() + (hex ? 2 : 0);
    const char* const last = text.data() + text.size();
    // No sign, no space, no prefix: digits only, the whole text.
    std::uint64_t value = 0;
    const std::from_chars_result result = std::from_chars(first, last, value, hex ? 16 : 10);
    return result.ec == std::errc() && result.ptr == last && value != 0;
}

template <typename Char>
bool RewriteVersion(std::basic_string_view<Char> path, std::basic_string<Char>& rewritten) {
    using View = std::basic_string_view<Char>;
    // The last "." with no "}" after it, and not the first character.
    std::size_t dot = path.size();
    for (;;) {
        if (dot == 0) {
            return false;
        }
        const Char c = path[--dot];
        if (c == '}') {
            return false;
        }
        if (c == '.') {
            break;
        }
    }
    if (dot < 2 || path[dot - 1] != '}') {
        return false;
    }
    const std::size_t close = dot - 1;
    std::size_t open = close;
    while (open > 0 && (IsHexDigit(path[open - 1]) || path[open - 1] == '.')) {
        --open;
    }
    if (open == 0 || path[open - 1] != '{') {
        return false;
    }
    const View inside = path.substr(open, close - open);
    rewritten.assign(path.begin(), path.end());
    bool allHex = inside.size() == 8;
    for (const Char c : inside) {
        allHex = allHex && IsHexDigit(c);
    }
    if (allHex) {
        for (std::size_t i = open; i < close; ++i) {
            if (rewritten[i] >= 'A' && rewritten[i] <= 'F') {
                rewritten[i] = static_cast<Char>(rewritten[i] + ('a' - 'A'));
            }
        }
        return true;
    }
    unsigned long high = 0;
    unsigned long low = 0;
    const std::size_t join = inside.find('.');
    if (join == View::npos) {
        if (!inside.empty() && !ParseVersionPart(inside, low)) {
            return false;
        }
    } else if (!ParseVersionPart(inside.substr(0, join), high) ||
               !ParseVersionPart(inside.substr(join + 1), low)) {
        return false;
    }
    constexpr char kDigits[] = "0123456789abcdef";
    const unsigned long value = high << 16 | low;
    std::basic_string<Char> hex(8, '0');
    for (std::size_t i = 0; i < 8; ++i) {
        hex[7 - i] = static_cast<Char>(kDigits[(value >> (4 * i)) & 15]);
    }
    rewritten.replace(open, close - open, hex);
    return true;
}

template bool RewriteVersion(std::basic_string_view<char>, std::basic_string<char>&);
template bool RewriteVersion(std::basic_string_view<wchar_t>, std::basic_string<wchar_t>&);
