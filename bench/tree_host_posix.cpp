#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tree_model.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

class DiskWriter {
  public:
    DiskWriter(const Tree& tree, const std::string& programDirectory)
        : tree_(tree),
          source_(programDirectory + "/ROFS"),
          elsewhere_(programDirectory + "/elsewhere") {}

    void Write() {
        ::close(Create(elsewhere_));
        if (::mknod((elsewhere_ + "/file").c_str(), S_IFREG | 0644, 0) != 0) {
            Fail("creating " + elsewhere_ + "/file");
        }
        Fill(Create(source_), 0);
    }

  private:
    int Create(const std::string& path) {
        if (::mkdir(path.c_str(), 0755) != 0) {
            Fail("creating " + path);
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            Fail("opening " + path);
        }
        return fd;
    }

    // Takes over fd. Everything goes relative to descriptors, since chains
    // pass PATH_MAX; a folder's descriptor is closed before its last
    // subfolder is filled, so that a chain needs only two at a time.
    void Fill(int fd, std::uint32_t index) {
        const TreeEntry* last = nullptr;
        for (const TreeEntry& entry : tree_.folders[index]) {
            const char* name = entry.name.c_str();
            int made = 0;
            if (entry.kind == EntryKind::kFile || entry.kind == EntryKind::kFifo) {
                made = ::mknodat(fd, name,
                                 (entry.kind == EntryKind::kFile ? S_IFREG : S_IFIFO) | 0644, 0);
            } else if (entry.kind == EntryKind::kFolder) {
                made = ::mkdirat(fd, name, 0755);
                last = &entry;
            } else {
                made = ::symlinkat(LinkTarget(entry).c_str(), fd, name);
            }
            if (made != 0) {
                Fail("creating " + entry.name);
            }
        }
        for (const TreeEntry& entry : tree_.folders[index]) {
            if (entry.kind != EntryKind::kFolder) {
                continue;
            }
            const int child = ::openat(fd, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child < 0) {
                Fail("opening " + entry.name);
            }
            if (&entry == last) {
                ::close(fd);
                fd = -1;
            }
            Fill(child, entry.folder);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }

    // Full paths: a link is followed from where it stands.
    std::string LinkTarget(const TreeEntry& entry) {
        if (entry.kind == EntryKind::kFileLink) {
            return elsewhere_ + "/file";
        }
        if (entry.kind == EntryKind::kRootLink) {
            return source_;
        }
        if (entry.kind == EntryKind::kOutsideFolder) {
            const std::string path = elsewhere_ + "/" + std::to_string(entry.folder);
            Fill(Create(path), entry.folder);
            return path;
        }
        return "no such target";
    }

    const Tree& tree_;
    const std::string source_;
    const std::string elsewhere_;
};

}  // namespace

void WriteTree(const Tree& tree, const std::string& programDirectory) {
    DiskWriter(tree, programDirectory).Write();
}

const HostRules& Host() {
    // Awkward bytes: spaces, a leading "-", line breaks, quotes, CJK in
    // UTF-8, and bytes that are not UTF-8 at all; "A" beside "a" for names
    // the builder takes for one, "REM" for a comment's start, version braces
    // the builder rewrites (or, followed by a ".", does not).
    static const HostRules rules{
        '/', true, {"a",        "b",    "Z",      "0",           " ",
                    "-",        ".",    "'",      "\"",          "\\",
                    "=",        "\t",   "\n",     "\r",          "\xe4\xb8\xad",
                    "\xc3\xa9", "\xff", "\x80",   "~",           "#",
                    "A",        "REM",  "{1.2}.", "{0000000A}.", "{0000000a}.",
                    "{}"}};
    return rules;
}

bool ListedBefore(const std::string& a, const std::string& b) {
    // By unsigned bytes; names hold no NUL.
    return std::strcmp(a.c_str(), b.c_str()) < 0;
}

bool AppendListBytes(std::string_view name, std::string& out) {
    out.append(name);  // the bytes go out as they are
    return true;
}
