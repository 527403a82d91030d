#pragma once

#include <cassert>
#include <cstddef>

// The descriptors (handles on Windows) a walk may hold at once, fixed when
// it starts from what the process has left, less those the list and the
// program keep for themselves meanwhile. The walk takes one before each
// opening, its own or one it submits to the read-ahead, and gives it back
// when that folder is closed: so that no opening fails for want of one that
// the walk holds as a spare, and no shortage can depend on which thread got
// there first. Used on the walk's thread alone.
class DescriptorBudget {
  public:
    explicit DescriptorBudget(std::size_t size) : size_(size), left_(size) {}

    bool Take() {
        if (left_ == 0) {
            return false;
        }
        --left_;
        return true;
    }
    void Give() {
        assert(left_ < size_);
        ++left_;
    }
    std::size_t Left() const { return left_; }
    std::size_t Size() const { return size_; }

  private:
    std::size_t size_;
    std::size_t left_;
};
