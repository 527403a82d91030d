// The bytes of the list: header, file lines, separator, line ends, blocks.
#include <gtest/gtest.h>

#include "error.h"
#include "list_file.h"
#include "obey_format.h"

namespace {

NativeString N(std::string_view ascii) {
    return NativeFromAscii(ascii);
}

std::string Line(std::string_view path, std::string_view root) {
    const NativeString nativePath = N(path);
    const NativeString nativeRoot = N(root);
    std::string out;
    bool replaced = false;
    for (NativeView piece : FileLine(nativePath, nativeRoot)) {
        AppendNarrow(piece, out, &replaced);
    }
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

void Hold(ListFile& list, std::string_view ascii) {
    bool replaced = true;
    list.HoldLine(std::array<NativeView, 1>{N(ascii)}, &replaced);
    EXPECT_FALSE(replaced);
    list.WriteFullBlock();
}

TEST(FileLine, PathFourSpacesAndTheTailBeyondTheRootUnquoted) {
    EXPECT_EQ(Line("C:\\tool\\ROFS\\sys\\bin\\b.dll", "C:\\tool\\ROFS"),
              "file=C:\\tool\\ROFS\\sys\\bin\\b.dll    \\sys\\bin\\b.dll");
    EXPECT_EQ(Line("/my tool/ROFS/a b/c d.txt", "/my tool/ROFS"),
              "file=/my tool/ROFS/a b/c d.txt    /a b/c d.txt");
    // The root is trimmed of spaces only, before its length is taken.
    EXPECT_EQ(TrimSpaces(N("  /a b/ROFS \t ")), N("/a b/ROFS \t"));
}

TEST(FileLine, CutIsByLengthAloneAndAShorterPathIsAnInvalidArgument) {
    EXPECT_EQ(Line("/x/ROFS/Sub/f", "/y/rofs"), "file=/x/ROFS/Sub/f    /Sub/f");
    EXPECT_EQ(Line("/y/rofs", "/y/rofs"), "file=/y/rofs    ");
    try {
        Line("/a", "/abc");
        FAIL() << "a path shorter than the root was cut";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), InvalidArgumentError().Number());
    }
}

TEST(ListFileBytes, HeaderThenLinesEachEndingInCrLfInBlocksInOrder) {
    EXPECT_EQ(HeaderBytes(), "rofsname=CG33.smg\r\nrofssize=0x40000000\r\n");
    std::vector<std::string> writes;
    ListFile list(std::make_unique<MemoryFile>(writes), 16);
    list.WriteAsciiLine("first");
    Hold(list, "second line");
    Hold(list, "3");
    list.Close();
    // Held until a block fills: the first write came only when 16 bytes had gathered.
    EXPECT_EQ(writes, (std::vector<std::string>{"first\r\nsecond line\r\n", "3\r\n", "<closed>"}));
    EXPECT_THROW(list.WriteAsciiLine("late"), Error);
}

TEST(ListFileBytes, HeldLinesReachTheFileWhenTheListIsNeverClosed) {
    std::vector<std::string> writes;
    {
        ListFile list(std::make_unique<MemoryFile>(writes));
        list.WriteAsciiLine("only");
    }
    EXPECT_EQ(writes, std::vector<std::string>{"only\r\n"});
}

}  // namespace
