#include "click_summary.h"

#include <utility>

void ClickSummary::Add(ProblemKind kind, NativeView path, std::string reason) {
    if (observer_) {
        observer_(kind, path, reason);
    }
    std::uint64_t& count = counts_[static_cast<std::size_t>(kind)];
    if (count < kKeptPerKind) {
        kept_.push_back(Problem{kind, NativeString(path), std::move(reason)});
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
