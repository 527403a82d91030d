#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Reads a list as the image builder does, from bytes given in pieces of any
// size, so that a list of any length, or a line of any length, is read in
// bounded memory:
//   - a line ends at CR, LF or CR LF; spaces and tabs at its start and end
//     are dropped; one whose first three letters are REM, in any case, is a
//     comment;
//   - a line is cut into words at every space, tab and "="; a double quote
//     opens a word that runs to the next one, keeping those inside it; a
//     quote inside a bare word ends that word and opens a quoted one; there
//     is no escape for a double quote;
//   - at most kMostWords words a line count;
//   - a line whose keyword is "stop" ends the list: nothing after it is read.
struct ObeyLine {
    std::uint64_t number = 0;        // from 1
    std::vector<std::string> words;  // the first kMostWords
    // Before each word, what cut it from the one before: the blanks and "="
    // between them, the first kMostGapBytes of them. Empty before the first.
    std::vector<std::string> gaps;
    // Of each word, FoldedHash() of its bytes past kMostWordBytes: two long
    // words are compared whole. kFoldedHashStart when it has none.
    std::vector<std::uint64_t> restHashes;
    std::size_t wordCount = 0;  // every word of the line, those past kMostWords too
    bool cutShort = false;      // a word was longer than kMostWordBytes, and is cut there
};

class ObeyReader {
  public:
    static constexpr std::size_t kMostWords = 16;
    // Longer than any path a system opens: 32767 UTF-16 units in a double-byte
    // code page.
    static constexpr std::size_t kMostWordBytes = 64 * 1024;
    static constexpr std::size_t kMostGapBytes = 8;

    // Told of each line that holds a word; comments and blank lines are
    // passed over. The line is valid during the call.
    using LineSink = std::function<void(const ObeyLine& line)>;
    explicit ObeyReader(LineSink sink) : sink_(std::move(sink)) {}

    void Feed(std::string_view bytes);

    // The end of the list: a last line without a line end is a line too.
    void Finish();

    // Lines begun so far.
    std::uint64_t LineCount() const { return line_.number; }

    // Whether a "stop" line has ended the list.
    bool Stopped() const { return stopped_; }

  private:
    void Take(char c);
    void AppendBlanks();
    void EndWord();
    void EndLine();
    void Append(char c);
    void NewWord();
    void AppendRun(std::string_view run);
    void BeginWord();

    LineSink sink_;
    ObeyLine line_;
    bool inWord_ = false;
    bool quoted_ = false;
    bool afterCr_ = false;
    bool comment_ = false;
    std::size_t headLength_ = 0;  // characters seen past the line's leading blanks, up to 3
    std::string gap_;             // since the last word ended, up to kMostGapBytes
    std::string blanks_;          // in a quoted word: blanks kept until a character follows them
    bool blanksPastRoom_ = false;
    bool lineBegun_ = false;
    bool stopped_ = false;
    std::vector<std::string> spare_;  // the room of earlier lines' words
};

// The builder compares keywords, attributes and image paths with the ASCII
// letters A-Z taken as a-z, byte by byte; no other byte changes. (Windows
// opens host paths so too, as far as ASCII goes: a name's UTF-16 folds the
// same way.)
template <typename Char>
constexpr Char FoldAscii(Char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c + ('a' - 'A')) : c;
}

// Whether the builder takes a and b for one text.
template <typename Char>
bool EqualFolded(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// The keyword of a line, compared as the builder does: ASCII letters
// without case.
inline bool IsKeyword(std::string_view word, std::string_view keyword) {
    return EqualFolded(word, keyword);
}

// FNV-1a of bytes folded by FoldAscii, going on from hash: equal for two
// texts the builder takes for one.
inline constexpr std::uint64_t kFoldedHashStart = 14695981039346656037ull;
std::uint64_t FoldedHash(std::string_view bytes, std::uint64_t hash = kFoldedHashStart);

// What the builder makes of a line's keyword and words.

// A keyword it knows; any other line it skips with a warning.
bool IsKnownKeyword(std::string_view keyword);

// Whether the words from the third on of a file= or data= line are all
// attributes it takes without a warning: names that take one value
// (attrib=r) and names that take none. Else first is the first word that is
// not one, or an attribute whose value is missing.
bool AreAttributes(const std::vector<std::string>& words, std::size_t& first);

// Whether word names an attribute that takes a value.
bool IsValuedAttribute(std::string_view word);

// A rofssize it takes: a whole number above 0, decimal or 0x hexadecimal,
// that fits in 64 bits.
bool IsImageSize(std::string_view text);

// The builder's rewriting of version braces, applied to every whole path it
// is given, host path and image path. The extension is the text from the
// path's last "." when no "}" follows it and it is not the path's first
// character; the braces that end the text before it are rewritten: eight hex
// digits are put in lower case; one or two decimal numbers below 65536
// joined by one "." ("{}" is 0) become eight lower-case hex digits, the
// first number in the high four, the last in the low four. Returns whether
// path has such braces, and then sets rewritten (which may equal path:
// digits already in lower case). Characters are those of the list, or of a
// name of the host: the rule knows ASCII alone.
template <typename Char>
bool RewriteVersion(std::basic_string_view<Char> path, std::basic_string<Char>& rewritten);
