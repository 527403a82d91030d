#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "file_system.h"
#include "native_text.h"

// The open list: lines in the list's narrow encoding, each ending in CR LF,
// gathered into large blocks before they go to the file. A block that fails
// to go out stays held, so that nothing written is lost or reordered: the next
// flush tries it again.
class ListFile {
  public:
    static constexpr std::size_t kDefaultBlockSize = 1024 * 1024;

    explicit ListFile(std::unique_ptr<OutputFile> file, std::size_t blockSize = kDefaultBlockSize);

    // Writes what is held, ignoring failures: the last chance for lines when
    // the list is never closed.
    ~ListFile();

    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;

    // Fixed ASCII text, the same in every code page.
    void WriteAsciiLine(std::string_view line);

    // Holds a line given as pieces, converted together into the block, so
    // that the line needs no room of its own; *replaced tells whether a
    // character had no form in the narrow encoding. A line that fails to
    // convert is not held; a held line is never lost, even when the write of
    // its block fails.
    template <std::size_t N>
    void HoldLine(const std::array<NativeView, N>& pieces, bool* replaced) {
        HoldPieces(pieces.data(), N, replaced);
    }

    // Writes the held lines once they fill a block.
    void WriteFullBlock();

    // Passes everything held to the file.
    void Flush();

    // Flushes and closes; the list cannot be written afterwards.
    void Close();

  private:
    void HoldPieces(const NativeView* pieces, std::size_t count, bool* replaced);
    void WriteHeld();

    std::unique_ptr<OutputFile> file_;
    std::size_t blockSize_;
    std::string held_;
};
