#pragma once

#include <cstddef>
#include <optional>
#include <utility>

#include "error.h"
#include "file_system.h"

// A folder whose listing was read in full when it was opened: its files in
// order, then the error that cut the listing short, if one did, and its
// subfolders in order. The platforms say only where their names are.
class ReadFolder : public Folder {
  public:
    bool NextFile(NativeView* name) final {
        if (nextFile_ < FileCount()) {
            *name = FileAt(nextFile_++);
            return true;
        }
        if (listingError_) {
            // Thrown once: the walk of the folder ends with it.
            Error error = *listingError_;
            listingError_.reset();
            throw error;
        }
        return false;
    }

    std::size_t SubFolderCount() final { return FolderCount(); }

    bool NextSubFolder(NativeView* name) final {
        if (nextFolder_ >= FolderCount()) {
            return false;
        }
        *name = FolderAt(nextFolder_++);
        return true;
    }

  protected:
    virtual std::size_t FileCount() const = 0;
    virtual NativeView FileAt(std::size_t index) const = 0;
    virtual std::size_t FolderCount() const = 0;
    virtual NativeView FolderAt(std::size_t index) const = 0;

    // The listing stopped early with this error; the names read before it
    // stand.
    void SetListingError(Error error) { listingError_ = std::move(error); }

    bool AllSubFoldersNamed() const { return nextFolder_ >= FolderCount(); }

  private:
    std::size_t nextFile_ = 0;
    std::size_t nextFolder_ = 0;
    std::optional<Error> listingError_;
};
