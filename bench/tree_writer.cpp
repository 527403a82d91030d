#include "tree_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

class TreeWriter {
  public:
    TreeWriter(const TreeModel& tree, std::FILE* list, std::string root)
        : tree_(tree), list_(list), path_(std::move(root)), rootLength_(path_.size()) {}

    // Takes over fd. Everything goes relative to descriptors, since the chain
    // trees pass PATH_MAX; a folder's descriptor is closed before its last
    // subfolder is filled, so a chain needs only two at a time.
    void Fill(int fd, std::uint32_t index) {
        const TreeFolder& folder = tree_.folders[index];
        const std::size_t length = path_.size();
        for (const std::string& name : folder.files) {
            if (::mknodat(fd, name.c_str(), S_IFREG | 0644, 0) != 0) {
                Fail("creating " + name);
            }
            path_.resize(length);
            path_.append("/").append(name);
            std::fprintf(list_, "file=%s    %s\r\n", path_.c_str(), path_.c_str() + rootLength_);
        }
        for (std::uint32_t child : folder.subfolders) {
            if (::mkdirat(fd, tree_.folders[child].name.c_str(), 0755) != 0) {
                Fail("creating " + tree_.folders[child].name);
            }
        }
        for (std::size_t i = 0; i < folder.subfolders.size(); ++i) {
            const TreeFolder& child = tree_.folders[folder.subfolders[i]];
            const int childFd =
                ::openat(fd, child.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (childFd < 0) {
                Fail("opening " + child.name);
            }
            if (i + 1 == folder.subfolders.size()) {
                ::close(fd);
                fd = -1;
            }
            path_.resize(length);
            path_.append("/").append(child.name);
            Fill(childFd, folder.subfolders[i]);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }

  private:
    const TreeModel& tree_;
    std::FILE* list_;
    std::string path_;
    std::size_t rootLength_;
};

}  // namespace

void WriteTree(const TreeModel& tree, const std::string& source, const std::string& expected) {
    // The buffer outlives the stream that uses it.
    std::vector<char> buffer(1 << 20);
    std::unique_ptr<std::FILE, FileCloser> list(std::fopen(expected.c_str(), "wb"));
    if (!list) {
        Fail("creating " + expected);
    }
    std::setvbuf(list.get(), buffer.data(), _IOFBF, buffer.size());
    std::fputs("rofsname=CG33.smg\r\nrofssize=0x40000000\r\n", list.get());
    if (::mkdir(source.c_str(), 0755) != 0) {
        Fail("creating " + source);
    }
    const int fd = ::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Fail("opening " + source);
    }
    TreeWriter(tree, list.get(), source).Fill(fd, 0);
    if (std::fflush(list.get()) != 0 || std::ferror(list.get())) {
        Fail("writing " + expected);
    }
}
