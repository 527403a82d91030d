#include <windows.h>

#include "tree_model.h"

namespace {

const char kChinese[] = "\xe4\xb8\xad";  // U+4E2D: in code page 936 only
const char kThai[] = "\xe0\xb8\x81";     // U+0E01: in neither 1252 nor 936

bool NotInCodePage(const std::string& path) {
    const bool chineseFits = GetACP() == 936;
    return path.find(kThai) != std::string::npos ||
           (!chineseFits && path.find(kChinese) != std::string::npos);
}

}  // namespace

NameRules HostNameRules() {
    // What Windows names can hold of the awkward: spaces (not last), a
    // leading "-", quotes, CJK, Latin letters outside ASCII (U+00E9 is in
    // both code pages the tests run with).
    return NameRules{{"a", "b", "Z", "0", " ", "-", ".", "'", "=", "~", "#", "[", "_", kChinese,
                      "\xc3\xa9", kThai},
                     true,
                     false,
                     NotInCodePage};
}

// The listing's order on Windows: by the upper-case form of the UTF-16 text.
bool ListedBefore(const std::string& a, const std::string& b) {
    std::wstring wa = fs::u8path(a).native();
    std::wstring wb = fs::u8path(b).native();
    CharUpperBuffW(wa.data(), static_cast<DWORD>(wa.size()));
    CharUpperBuffW(wb.data(), static_cast<DWORD>(wb.size()));
    return wa < wb;
}

bool MakeLink(const fs::path& /*target*/, const fs::path& /*link*/) {
    return false;
}

fs::path NamePath(const std::string& name) {
    return fs::u8path(name);
}
