// The builder's reading of a list, the project's oracle: line by line on one
// list of every rule, and the same in pieces of any size on random bytes.
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "obey_reader.h"

namespace {

using Lines = std::vector<std::pair<std::uint64_t, std::vector<std::string>>>;

// The lines read from text fed in pieces of the sizes next gives.
template <typename NextPiece>
Lines Read(std::string_view text, NextPiece next) {
    Lines lines;
    ObeyReader reader([&lines](const ObeyLine& line) {
        EXPECT_LE(line.words.size(), ObeyReader::kMostWords);
        for (const std::string& word : line.words) {
            EXPECT_LE(word.size(), ObeyReader::kMostWordBytes);
        }
        EXPECT_TRUE(lines.empty() || line.number > lines.back().first);
        lines.push_back({line.number, line.words});
    });
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t piece = next();
        reader.Feed(text.substr(at, piece));
        at += piece;
    }
    reader.Finish();
    return lines;
}

Lines ReadWhole(std::string_view text) {
    return Read(text, [] { return SIZE_MAX / 2; });
}

TEST(ObeyReader, CutsLinesAndWordsAsTheBuilderDoes) {
    using namespace std::string_literals;
    const std::string text =
        " \trofsname=CG33.smg \t\r"                   // 1: blanks dropped; CR alone
        "REM file=\"x\r\n"                            // 2: comments, in any case
        "rEmark\n"                                    // 3
        "\r\n"                                        // 4: blank
        "file=\"/a b/c=d\"    \"\\x\ty \t\" \n"       // 5: quoted, blanks kept
        "file=/a b\tc=d\n"                            // 6: cut everywhere
        "file=ab\"cd ef\"gh \"open  \t\n"             // 7: a quote ends a bare word
        "\"\" \"\"\"REM\n"                            // 8: empty words; no comment
        "RE\n\r"                                      // 9, 10
        "n\0l a b c d e f g h i j k l m n o p q r"s;  // 11: a NUL; 19 words
    const Lines expected = {
        {1, {"rofsname", "CG33.smg"}},
        {5, {"file", "/a b/c=d", "\\x\ty \t"}},
        {6, {"file", "/a", "b", "c", "d"}},
        {7, {"file", "ab", "cd ef", "gh", "open"}},
        {8, {"", "", "REM"}},
        {9, {"RE"}},
        {11, {"n\0l"s, "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o"}},
    };
    EXPECT_EQ(ReadWhole(text), expected);
    for (std::size_t size = 1; size < 4; ++size) {
        EXPECT_EQ(Read(text, [size] { return size; }), expected) << "pieces of " << size;
    }
}

TEST(ObeyReader, LongWordsAreCutShortInBoundedMemory) {
    for (const std::string& line :
         {"file=" + std::string(3 * ObeyReader::kMostWordBytes, 'a'),
          "file=\"" + std::string(3 * ObeyReader::kMostWordBytes, ' ') + "x\" y"}) {
        bool cutShort = false;
        ObeyReader reader([&cutShort](const ObeyLine& read) {
            cutShort = read.cutShort;
            EXPECT_EQ(read.words[1].size(), ObeyReader::kMostWordBytes);
        });
        reader.Feed(line);
        reader.Finish();
        EXPECT_TRUE(cutShort);
    }
}

// Random bytes, mostly those the rules turn on: no piece boundary may change
// what is read.
TEST(ObeyReader, RandomBytesReadAlikeInAnyPieces) {
    const std::string alphabet = std::string("\"\"  \t==\r\n\r\nREMrem\xff", 18) + '\0';
    std::mt19937_64 random(std::random_device{}());
    for (int i = 0; i < 4000; ++i) {
        std::string text(random() % 300, '\0');
        for (char& c : text) {
            c = random() % 8 == 0 ? static_cast<char>(random())
                                  : alphabet[random() % alphabet.size()];
        }
        const Lines whole = ReadWhole(text);
        ASSERT_EQ(Read(text, [&random] { return 1 + random() % 5; }), whole) << text;
    }
}

}  // namespace
