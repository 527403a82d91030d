#pragma once

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
    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

    explicit ListFile(std::unique_ptr<OutputFile> file, std::size_t blockSize = kDefaultBlockSize);

    // Writes what is held, ignoring failures: the last chance for lines when
    // the list is never closed.
    ~ListFile();

    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;

    // Fixed ASCII text, the same in every code page.
    void WriteAsciiLine(std::string_view line);

    // Converts to the narrow encoding; *replaced tells whether a character had
    // no form in it.
    void WriteLine(NativeView line, bool* replaced) {
        HoldLine(line, replaced);
        WriteFullBlock();
    }

    // The two halves of WriteLine: a line that fails to convert is not held;
    // a held line is never lost, even when the write of its block fails.
    void HoldLine(NativeView line, bool* replaced);
    void WriteFullBlock();

    // Passes everything held to the file.
    void Flush();

    // Flushes and closes; the list cannot be written afterwards.
    void Close();

    bool IsOpen() const { return file_ != nullptr; }

  private:
    void WriteHeld();

    std::unique_ptr<OutputFile> file_;
    std::size_t blockSize_;
    std::string held_;
};
