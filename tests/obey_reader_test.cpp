// The builder's reading of a list, the project's oracle: line by line on one
// list of every rule, and the same in pieces of any size on random bytes.
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "builder_names.h"
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

namespace {

std::string Rewritten(std::string_view path) {
    std::string rewritten;
    return RewriteVersion(path, rewritten) ? rewritten : "<none>";
}

// A rule misread puts another file, or an empty one, into the image under
// a name the list never gave.
TEST(BuilderReading, VersionBracesOfTheWholePathAreRewritten) {
    for (const auto& [path, expected] : std::vector<std::pair<std::string, std::string>>{
             {"a{1.0}.txt", "a{00010000}.txt"},
             {"b{12}.dll", "b{0000000c}.dll"},
             {"d{}.txt", "d{00000000}.txt"},
             {"C{000A0000}.DLL", "C{000a0000}.DLL"},
             {"m{65535.65535}.x", "m{ffffffff}.x"},
             {"e{12}", "<none>"},
             {"x{1.2.3}.t", "<none>"},
             {"x{65536}.t", "<none>"},
             {"x{1.}.t", "<none>"},
             {"x{12}.t}", "<none>"},                   // a "}" after the last "."
             {"x{12}.a.b", "<none>"},                  // not before the last "."
             {"/r/v{2.1}.d/x", "/r/v{00020001}.d/x"},  // a folder's "." is the last
             {"/r/v{2.1}.d/y/z", "/r/v{00020001}.d/y/z"},
             {"/r/v{2.1}.d/x.txt", "<none>"},
             {"/r/v{2.1}.d/s.e/x", "<none>"},
         }) {
        EXPECT_EQ(Rewritten(path), expected) << path;
    }
    std::wstring wide;
    EXPECT_TRUE(RewriteVersion(std::wstring_view(L"\\a{1.0}.txt"), wide));
    EXPECT_EQ(wide, L"\\a{00010000}.txt");
}

// A name missed here lists another file's bytes, a device, or an empty
// name; one caught wrongly leaves out a good file.
TEST(BuilderReading, NamesReadAsOtherOnEachPlatform) {
    for (const std::string_view name :
         {"a\\b", "\xff.txt", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80"}) {
        EXPECT_TRUE(LinuxNameReadAsOther(name)) << name;
    }
    for (const std::string_view name : {"a.", "b ", "a.txt", "\xe4\xb8\xad.txt", "con", "AUX.c"}) {
        EXPECT_FALSE(LinuxNameReadAsOther(name)) << name;
    }
    for (const std::string_view name :
         {"a.", "b ", "x. .", "con", "CON", "aux.c", "NUL.txt", "Com1", "lpt9.tar.gz", "prn .x"}) {
        EXPECT_TRUE(WindowsNameReadAsOther(name)) << name;
    }
    for (const std::string_view name :
         {"a", ".a", "a b", "com0", "com10", "console", "nul_x", "xcon"}) {
        EXPECT_FALSE(WindowsNameReadAsOther(name)) << name;
    }
    EXPECT_EQ(WindowsPathAsRead(std::string_view("C:\\r\\x.\\f ")), "C:\\r\\x\\f");
    EXPECT_EQ(WindowsPathAsRead(std::string_view("C:\\r\\..\\a.")), "C:\\r\\..\\a");
    EXPECT_EQ(WindowsPathAsRead(std::wstring_view(L"C:\\r\\aux.c")), L"\\\\.\\aux");
}

// Lines the builder warns of or stops on, told from those it takes.
TEST(BuilderReading, KeywordsAttributesSizesAndStop) {
    for (const char* keyword : {"file", "DATA", "hidex", "renameA", "rofssize", "stop", "rem"}) {
        EXPECT_TRUE(IsKnownKeyword(keyword)) << keyword;
    }
    for (const char* keyword : {"fiel", "hide12", "files", ""}) {
        EXPECT_FALSE(IsKnownKeyword(keyword)) << keyword;
    }
    std::size_t first = 0;
    EXPECT_TRUE(AreAttributes(
        {"file", "a", "\\a", "attrib", "r", "fixed", "att", "rw", "uid3", "0x1"}, first));
    EXPECT_FALSE(AreAttributes({"file", "a", "\\a", "b.txt"}, first));
    EXPECT_EQ(first, 3u);
    EXPECT_FALSE(AreAttributes({"file", "a", "\\a", "fixed", "heapmin"}, first));
    EXPECT_EQ(first, 4u);
    for (const char* size : {"1", "0x40000000", "0X1f"}) {
        EXPECT_TRUE(IsImageSize(size)) << size;
    }
    for (const char* size :
         {"0", "0x0", "0x", "", "-1", "+1", "12k", " 1", "99999999999999999999"}) {
        EXPECT_FALSE(IsImageSize(size)) << size;
    }
    // "stop" ends the list; the words' gaps are kept; long words compare whole.
    const std::string tail(70000 - 4, 'a');
    const Lines lines = ReadWhole("file=/a b\tc\r\nSTOP\r\nfile=x y\r\n");
    EXPECT_EQ(lines.size(), 2u);
    std::vector<std::vector<std::string>> gaps;
    std::vector<std::uint64_t> rests;
    ObeyReader reader([&](const ObeyLine& line) {
        gaps.push_back(line.gaps);
        rests.push_back(line.restHashes.back());
    });
    reader.Feed("file=/a  b\tc\r\nfile=" + tail + "1.txt\r\nfile=" + tail +
                "2.txt\r\nfile=" + tail + "1.TXT\r\n");
    reader.Finish();
    EXPECT_EQ(gaps[0], (std::vector<std::string>{"", "=", "  ", "\t"}));
    EXPECT_NE(rests[1], rests[2]);
    EXPECT_EQ(rests[1], rests[3]);
}

}  // namespace
