#include <fcntl.h>
#include <sys/stat.h>
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

std::string MakeChain(const fs::path& where, int depth, const std::string& name) {
    fs::create_directories(where);
    // Relative to each folder's descriptor: full paths would pass PATH_MAX.
    int fd = open(where.c_str(), O_RDONLY | O_DIRECTORY);
    std::string relative;
    for (int level = 0; level < depth && fd >= 0; ++level) {
        mkdirat(fd, name.c_str(), 0755);
        const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        relative += name + "/";
    }
    if (fd < 0) {
        return "<chain not made>";
    }
    close(openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0644));
    close(fd);
    return relative + "bottom.txt";
}

int ChainDepthOnDisk() {
    return 5000;
}
