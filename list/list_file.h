#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "native_text.h"
#include "program_files.h"

// The list being written: lines converted to the list's narrow encoding and
// gathered into large blocks before they go to the file.
class ListFile {
  public:
    static constexpr std::size_t kBlockSize = 1024 * 1024;

    explicit ListFile(ListSink& file);

    // Bytes already in the list's encoding: the header, earlier clicks.
    void WriteBytes(std::string_view bytes);

    // A whole line, its CR LF included. False when a character had no exact
    // form in the narrow encoding and the code page's default stands in.
    bool WriteLine(NativeView line);

    // Passes everything held to the file.
    void Flush();

  private:
    ListSink& file_;
    std::string held_;
};
