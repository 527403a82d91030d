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

void Exclusions::AddPattern(NativeView pattern) {
    NativeString own(pattern);
    std::replace_if(own.begin(), own.end(), IsSeparator, kSeparator);
    const bool isPath = own.find(kSeparator) != NativeString::npos;
    // "/sys/tmp/" is "sys/tmp": image paths are all from the source folder,
    // and name no folder with a separator at its end.
    own.erase(0, std::min(own.find_first_not_of(kSeparator), own.size()));
    while (!own.empty() && own.back() == kSeparator) {
        own.pop_back();
    }
    (isPath ? pathPatterns_ : namePatterns_).push_back(std::move(own));
}

void Exclusions::SetOwnFiles(FolderId folder, std::vector<NativeString> names) {
    ownFolder_ = folder;
    ownNames_ = std::move(names);
}

bool Exclusions::IsOwnFile(NativeView name) const {
    return std::any_of(ownNames_.begin(), ownNames_.end(),
                       [&](const NativeString& own) { return SameName(own, name); });
}

bool Exclusions::ExcludesName(NativeView name) const {
    return std::any_of(namePatterns_.begin(), namePatterns_.end(),
                       [&](const NativeString& p) { return MatchesPattern(p, name); });
}

bool Exclusions::Excludes(NativeView name, NativeView relative) const {
    return ExcludesName(name) ||
           std::any_of(pathPatterns_.begin(), pathPatterns_.end(),
                       [&](const NativeString& p) { return MatchesPattern(p, relative); });
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
