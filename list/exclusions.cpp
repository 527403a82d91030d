#include "exclusions.h"

#include <algorithm>
#include <utility>

namespace {

bool IsSeparator(NativeChar c) {
    return NativeView(kSeparators).find(c) != NativeView::npos;
}

bool SameName(NativeView a, NativeView b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameNameCharacter);
}

}  // namespace

void Exclusions::AddPattern(NativeView pattern, NativeString origin) {
    NativeString own(pattern);
    std::replace_if(own.begin(), own.end(), IsSeparator, kSeparator);
    const bool isPath = own.find(kSeparator) != NativeString::npos;
    // "/sys/tmp/" is "sys/tmp": image paths are all from the source folder,
    // and name no folder with a separator at its end.
    own.erase(0, std::min(own.find_first_not_of(kSeparator), own.size()));
    while (!own.empty() && own.back() == kSeparator) {
        own.pop_back();
    }
    patterns_.push_back(
        Pattern{std::move(own), isPath, NativeString(pattern), std::move(origin), 0});
}

void Exclusions::KeepPatterns(std::size_t count) {
    while (patterns_.size() > count) {
        patterns_.pop_back();
    }
}

void Exclusions::SetOwnFiles(FolderId folder, std::vector<NativeString> names) {
    ownFolder_ = folder;
    ownNames_ = std::move(names);
}

bool Exclusions::IsOwnFile(NativeView name) const {
    return std::any_of(ownNames_.begin(), ownNames_.end(),
                       [&](const NativeString& own) { return SameName(own, name); });
}

// In the order given: the first pattern that names an entry is the one it
// counts to.
std::size_t Exclusions::Match(NativeView name, NativeView relative) const {
    for (std::size_t i = 0; i < patterns_.size(); ++i) {
        if (MatchesPattern(patterns_[i].match, patterns_[i].isPath ? relative : name)) {
            return i;
        }
    }
    return patterns_.size();
}

bool Exclusions::Excludes(NativeView name, NativeView relative) {
    const std::size_t match = Match(name, relative);
    if (match == patterns_.size()) {
        return false;
    }
    ++patterns_[match].leftOut;
    ++leftOut_;
    return true;
}

bool Exclusions::ExcludesUncounted(NativeView name, NativeView relative) const {
    return Match(name, relative) != patterns_.size();
}

void Exclusions::StartCounting() {
    leftOut_ = 0;
    for (Pattern& p : patterns_) {
        p.leftOut = 0;
    }
}

std::vector<IdlePattern> Exclusions::IdlePatterns() const {
    std::vector<IdlePattern> idle;
    for (const Pattern& p : patterns_) {
        if (p.leftOut == 0) {
            idle.push_back(IdlePattern{p.given, p.origin});
        }
    }
    return idle;
}

// One star at a time is enough: when a later star cannot take the text up to
// the next match, no earlier one can, as neither takes a separator.
bool MatchesPattern(NativeView pattern, NativeView text) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t afterStar = NativeView::npos;
    std::size_t starTook = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            afterStar = ++p;
            starTook = t;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' ? !IsSeparator(text[t])
                                      : SameNameCharacter(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (afterStar != NativeView::npos && !IsSeparator(text[starTook])) {
            p = afterStar;
            t = ++starTook;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}
