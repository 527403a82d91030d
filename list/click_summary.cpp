#include "click_summary.h"

#include <utility>

void ClickSummary::Add(ProblemKind kind, NativeView path, std::string reason, NativeView other) {
    Problem problem{kind, NativeString(path), std::move(reason), NativeString(other)};
    if (observer_) {
        observer_(problem);
    }
    std::uint64_t& count = counts_[static_cast<std::size_t>(kind)];
    if (count < kKeptPerKind) {
        kept_.push_back(std::move(problem));
    }
    ++count;
}

std::uint64_t ClickSummary::ProblemCount() const {
    std::uint64_t total = 0;
    for (std::uint64_t count : counts_) {
        total += count;
    }
    return total;
}
