#pragma once

#include <memory>
#include <vector>

#include "file_system.h"
#include "name_list.h"

// What the folders of one walk share: the buffer the kernel fills with
// entries, and the name lists of folders already done, kept for the next
// ones, so that the heap is reached per folder only while lists grow. It must
// outlive every folder opened with it.
class FolderListings {
  public:
    struct Names {
        NameList files;
        NameList folders;
    };

    FolderListings();

    std::vector<char>& ReadBuffer() { return readBuffer_; }

    std::unique_ptr<Names> Take();
    void Give(std::unique_ptr<Names> names) noexcept;

  private:
    std::vector<char> readBuffer_;
    std::vector<std::unique_ptr<Names>> spare_;
};

// Opens the folder at path, relative to the folder parent (AT_FDCWD for the
// working directory), and reads it in full. Throws Error.
std::unique_ptr<Folder> OpenPosixFolder(int parent, const char* path, FolderListings& listings);
