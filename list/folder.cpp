#include "folder.h"

#include <new>
#include <utility>

FolderReader::~FolderReader() = default;

std::unique_ptr<FolderListing> FolderReader::Take() {
    if (spare_.empty()) {
        return std::make_unique<FolderListing>();
    }
    std::unique_ptr<FolderListing> listing = std::move(spare_.back());
    spare_.pop_back();
    return listing;
}

void FolderReader::Recycle(std::unique_ptr<FolderListing> listing) noexcept {
    listing->files.Clear();
    listing->others.Clear();
    listing->folders.Clear();
    listing->error.reset();
    listing->handle.Reset();
    try {
        spare_.push_back(std::move(listing));
    } catch (const std::bad_alloc&) {
        // Not kept, then: the lists are freed with the listing.
    }
}
