#include "list_file.h"

#include <utility>

#include "error.h"

ListFile::ListFile(std::unique_ptr<OutputFile> file, std::size_t blockSize)
    : file_(std::move(file)), blockSize_(blockSize) {
    held_.reserve(blockSize_ + 4096);
}

ListFile::~ListFile() {
    if (file_ == nullptr) {
        return;
    }
    try {
        WriteHeld();
    } catch (const Error&) {
        // Nothing is left to report to: the program is ending without closing.
    }
}

void ListFile::WriteAsciiLine(std::string_view line) {
    if (file_ == nullptr) {
        throw InvalidArgumentError();
    }
    held_.append(line);
    held_.append("\r\n", 2);
    WriteFullBlock();
}

void ListFile::HoldPieces(const NativeView* pieces, std::size_t count, bool* replaced) {
    if (file_ == nullptr) {
        throw InvalidArgumentError();
    }
    const std::size_t start = held_.size();
    try {
        AppendNarrowPieces(pieces, count, held_, replaced);
    } catch (...) {
        held_.resize(start);
        throw;
    }
    held_.append("\r\n", 2);
}

void ListFile::WriteFullBlock() {
    if (held_.size() >= blockSize_) {
        WriteHeld();
    }
}

void ListFile::WriteHeld() {
    if (held_.empty()) {
        return;
    }
    std::size_t written = 0;
    try {
        file_->Write(held_.data(), held_.size(), &written);
    } catch (...) {
        held_.erase(0, written);
        throw;
    }
    held_.clear();
}

void ListFile::Flush() {
    if (file_ == nullptr) {
        throw InvalidArgumentError();
    }
    WriteHeld();
}

void ListFile::Close() {
    if (file_ == nullptr) {
        throw InvalidArgumentError();
    }
    WriteHeld();
    std::unique_ptr<OutputFile> file = std::move(file_);
    file->Close();
}
