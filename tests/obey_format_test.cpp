// The bytes of the list: header, file lines, separator, line ends.
#include <gtest/gtest.h>

#include "error.h"
#include "list_file.h"
#include "obey_format.h"
#include "test_tree.h"

namespace {

NativeString N(std::string_view ascii) {
    return NativeFromAscii(ascii);
}

std::string Narrow(NativeView text) {
    std::string out;
    bool replaced = false;
    AppendNarrow(text, out, &replaced);
    return out;
}

// Collects what reaches the file, write by write.
class MemoryFile final : public OutputFile {
  public:
    explicit MemoryFile(std::vector<std::string>& writes) : writes_(writes) {}
    void Write(const char* data, std::size_t size, std::size_t* written) override {
        writes_.emplace_back(data, size);
        *written = size;
    }
    void Close() override { writes_.push_back("<closed>"); }

  private:
    std::vector<std::string>& writes_;
};

TEST(FileLine, ImagePathIsTheTailBeyondTheRoot) {
    NativeString line;
    BuildFileLine(N("C:\\tool\\ROFS\\a.txt"), N("C:\\tool\\ROFS"), line);
    EXPECT_EQ(Narrow(line), "file=C:\\tool\\ROFS\\a.txt    \\a.txt");

    BuildFileLine(N("C:\\tool\\ROFS\\sys\\bin\\b.dll"), N("C:\\tool\\ROFS"), line);
    EXPECT_EQ(Narrow(line), "file=C:\\tool\\ROFS\\sys\\bin\\b.dll    \\sys\\bin\\b.dll");
}

TEST(FileLine, SpacesStayUnquotedAndTheSeparatorIsFourSpaces) {
    NativeString line;
    BuildFileLine(N("/my tool/ROFS/a b/c d.txt"), N("/my tool/ROFS"), line);
    EXPECT_EQ(Narrow(line), "file=/my tool/ROFS/a b/c d.txt    /a b/c d.txt");
    EXPECT_EQ(Narrow(line).find('\t'), std::string::npos);
}

TEST(FileLine, CutIsByLengthAloneNeverByComparison) {
    // The root's text differs from the path's start; only its length counts.
    NativeString line;
    BuildFileLine(N("/x/ROFS/Sub/f"), N("/y/rofs"), line);
    EXPECT_EQ(Narrow(line), "file=/x/ROFS/Sub/f    /Sub/f");

    BuildFileLine(N("/y/rofs"), N("/y/rofs"), line);
    EXPECT_EQ(Narrow(line), "file=/y/rofs    ");
}

TEST(FileLine, PathShorterThanTheRootIsAnInvalidArgument) {
    NativeString line = N("old");
    EXPECT_THROW(BuildFileLine(N("/a"), N("/abc"), line), Error);
    try {
        BuildFileLine(N("/a"), N("/abc"), line);
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), InvalidArgumentError().Number());
        EXPECT_FALSE(error.Description().empty());
    }
    EXPECT_TRUE(line.empty());
}

TEST(FileLine, RootIsTrimmedOfSpacesOnly) {
    EXPECT_EQ(TrimSpaces(N("  /a b/ROFS  ")), N("/a b/ROFS"));
    EXPECT_EQ(TrimSpaces(N("\t/a\t")), N("\t/a\t"));
    EXPECT_EQ(TrimSpaces(N("   ")), N(""));
}

TEST(FileLine, LineBreaksAreFoundAnywhere) {
    EXPECT_TRUE(HasLineBreak(N("a\nb")));
    EXPECT_TRUE(HasLineBreak(N("ab\r")));
    EXPECT_FALSE(HasLineBreak(N("a b\tc")));
}

TEST(ListFileBytes, HeaderLinesEndInCrLf) {
    EXPECT_EQ(HeaderBytes(), "rofsname=CG33.smg\r\nrofssize=0x40000000\r\n");
}

TEST(ListFileBytes, EveryLineEndsInCrLfAndBlocksKeepOrder) {
    std::vector<std::string> writes;
    {
        ListFile list(std::make_unique<MemoryFile>(writes), 16);
        bool replaced = true;
        list.WriteAsciiLine("first");
        list.WriteLine(N("second line"), &replaced);
        EXPECT_FALSE(replaced);
        list.WriteLine(N("3"), &replaced);
        list.Close();
    }
    std::string all;
    for (std::size_t i = 0; i + 1 < writes.size(); ++i) {
        all += writes[i];
    }
    EXPECT_EQ(all, "first\r\nsecond line\r\n3\r\n");
    EXPECT_EQ(writes.back(), "<closed>");
    // Held until a block fills: the first write came only when 16 bytes had gathered.
    EXPECT_EQ(writes.front(), "first\r\nsecond line\r\n");
}

TEST(ListFileBytes, HeldLinesReachTheFileWhenTheListIsNeverClosed) {
    std::vector<std::string> writes;
    {
        ListFile list(std::make_unique<MemoryFile>(writes));
        list.WriteAsciiLine("only");
    }
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], "only\r\n");
}

TEST(ListFileBytes, ClosedListRefusesLines) {
    std::vector<std::string> writes;
    ListFile list(std::make_unique<MemoryFile>(writes));
    list.Close();
    EXPECT_FALSE(list.IsOpen());
    EXPECT_THROW(list.WriteAsciiLine("late"), Error);
}

}  // namespace
