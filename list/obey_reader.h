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
//   - at most kMostWords words a line count.
struct ObeyLine {
    std::uint64_t number = 0;        // from 1
    std::vector<std::string> words;  // the first kMostWords
    std::size_t wordCount = 0;       // every word of the line, those past kMostWords too
    bool cutShort = false;           // a word was longer than kMostWordBytes, and is cut there
};

class ObeyReader {
  public:
    static constexpr std::size_t kMostWords = 16;
    // Longer than any path a system opens: 32767 UTF-16 units in a double-byte
    // code page.
    static constexpr std::size_t kMostWordBytes = 64 * 1024;

    // Told of each line that holds a word; comments and blank lines are
    // passed over. The line is valid during the call.
    using LineSink = std::function<void(const ObeyLine& line)>;
    explicit ObeyReader(LineSink sink) : sink_(std::move(sink)) {}

    void Feed(std::string_view bytes);

    // The end of the list: a last line without a line end is a line too.
    void Finish();

    // Lines begun so far.
    std::uint64_t LineCount() const { return line_.number; }

  private:
    void Take(char c);
    void AppendBlanks();
    void EndWord();
    void EndLine();
    void Append(char c);
    void NewWord();
    void AppendRun(std::string_view run);

    LineSink sink_;
    ObeyLine line_;
    bool inWord_ = false;
    bool quoted_ = false;
    bool afterCr_ = false;
    bool comment_ = false;
    std::size_t headLength_ = 0;  // characters seen past the line's leading blanks, up to 3
    std::string blanks_;          // in a quoted word: blanks kept until a character follows them
    bool blanksPastRoom_ = false;
    bool lineBegun_ = false;
    std::vector<std::string> spare_;  // the room of earlier lines' words
};

// The keyword of a line, compared as the builder does: ASCII letters
// without case.
bool IsKeyword(std::string_view word, std::string_view keyword);
