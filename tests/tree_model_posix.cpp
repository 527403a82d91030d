#include <unistd.h>

#include <cstring>

#include "tree_model.h"

NameRules HostNameRules() {
    // Awkward bytes: spaces, a leading "-", line breaks, quotes, CJK in
    // UTF-8, and bytes that are not UTF-8 at all.
    return NameRules{{"a",        "b",    "Z",    "0",  " ",
                      "-",        ".",    "'",    "\"", "\\",
                      "=",        "\t",   "\n",   "\r", "\xe4\xb8\xad",
                      "\xc3\xa9", "\xff", "\x80", "~",  "#"},
                     false,
                     true,
                     [](const std::string&) { return false; }};  // bytes go out as they are
}

bool ListedBefore(const std::string& a, const std::string& b) {
    return std::strcmp(a.c_str(), b.c_str()) < 0;
}

bool MakeLink(const fs::path& target, const fs::path& link) {
    return symlink(target.c_str(), link.c_str()) == 0;
}

fs::path NamePath(const std::string& name) {
    return fs::path(name);
}
