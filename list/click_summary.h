#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "exclusions.h"
#include "native_text.h"

// What went less than perfectly in one walk of the tree.
enum class ProblemKind {
    kFolderIncomplete,   // a folder whose walk ended early; reason = the error
    kNameNotInCodePage,  // a file written with replacement characters
    kLineBreakInName,    // a file or folder skipped: its name holds CR or LF
    kFolderLoop,         // a folder link back to a folder being walked, skipped
    kNotRegularFile,     // neither a regular file nor a folder (a FIFO, a device,
                         // a dangling link), not listed
    kQuoteInName,        // a file or folder skipped: its name holds a double quote
    kNameClash,          // a file or folder whose name the builder takes for an
                         // earlier one's of its folder; other = that one
    kBuilderName,        // a file or folder skipped: the builder reads it as another
                         // (builder_names.h); other = what it opens instead, or
                         // none when it names it in the image with an empty name
};

inline constexpr std::size_t kProblemKindCount = 8;

struct Problem {
    ProblemKind kind;
    NativeString path;
    std::string reason;  // UTF-8; the error's description where there is one
    NativeString other;  // the second path a problem concerns, where there is one
};

// The files a click added to and removed from an earlier list (ListChanges).
struct ListChangeCounts {
    std::uint64_t added = 0;
    std::uint64_t removed = 0;
};

// The result of one click: how many file lines went to the list, and its
// problems. Only the first kKeptPerKind problems of each kind are kept with
// their paths, so that a tree full of bad names cannot exhaust memory; the
// counts are always complete.
class ClickSummary {
  public:
    static constexpr std::size_t kKeptPerKind = 100;

    // Told of every problem as it is added.
    using Observer = std::function<void(const Problem& problem)>;

    explicit ClickSummary(Observer observer = {}) : observer_(std::move(observer)) {}

    void Add(ProblemKind kind, NativeView path, std::string reason, NativeView other = {});
    void CountLine() { ++linesWritten_; }

    std::uint64_t LinesWritten() const { return linesWritten_; }
    std::uint64_t Count(ProblemKind kind) const { return counts_[static_cast<std::size_t>(kind)]; }
    std::uint64_t ProblemCount() const;
    bool HasProblems() const { return ProblemCount() != 0; }

    // The kept problems, in the order they arose.
    const std::vector<Problem>& Kept() const { return kept_; }

    // What the user's patterns did in the click: how many there were, the
    // entries they left out, and those that left out nothing.
    void SetLeftOut(std::size_t patterns, std::uint64_t leftOut, std::vector<IdlePattern> idle) {
        patterns_ = patterns;
        leftOut_ = leftOut;
        idlePatterns_ = std::move(idle);
    }
    std::size_t PatternCount() const { return patterns_; }
    std::uint64_t LeftOut() const { return leftOut_; }
    const std::vector<IdlePattern>& IdlePatterns() const { return idlePatterns_; }

    // The files added to and removed from the earlier list; nullopt when
    // there was none to compare with.
    void SetChanges(std::optional<ListChangeCounts> changes) { changes_ = changes; }
    const std::optional<ListChangeCounts>& Changes() const { return changes_; }

  private:
    std::uint64_t linesWritten_ = 0;
    std::array<std::uint64_t, kProblemKindCount> counts_{};
    std::vector<Problem> kept_;
    Observer observer_;
    std::size_t patterns_ = 0;
    std::uint64_t leftOut_ = 0;
    std::vector<IdlePattern> idlePatterns_;
    std::optional<ListChangeCounts> changes_;
};
