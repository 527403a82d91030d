#include "list_file.h"

ListFile::ListFile(ListSink& file) : file_(file) {
    held_.reserve(kBlockSize + 4096);
}

void ListFile::WriteBytes(std::string_view bytes) {
    held_.append(bytes);
    if (held_.size() >= kBlockSize) {
        Flush();
    }
}

bool ListFile::WriteLine(NativeView line) {
    const bool exact = AppendNarrow(line, held_);
    if (held_.size() >= kBlockSize) {
        Flush();
    }
    return exact;
}

void ListFile::Flush() {
    file_.Write(held_.data(), held_.size());
    held_.clear();
}
