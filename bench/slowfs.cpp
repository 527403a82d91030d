// slowfs: a folder shown again at a mount point, read-only, with every folder
// listing held back for a while, as a network share or a cold disk holds a
// walk back. Usage: slowfs FOLDER MOUNTPOINT MILLISECONDS [FUSE options]; it
// stays in the foreground until the mount point is unmounted.

#define FUSE_USE_VERSION 31
#include <fuse3/fuse.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string source;
std::chrono::milliseconds delay{0};

std::string SourcePath(const char* path) {
    return source + path;
}

int GetAttributes(const char* path, struct stat* status, fuse_file_info*) {
    return lstat(SourcePath(path).c_str(), status) == 0 ? 0 : -errno;
}

int OpenFolder(const char* path, fuse_file_info* info) {
    DIR* folder = opendir(SourcePath(path).c_str());
    if (folder == nullptr) {
        return -errno;
    }
    info->fh = reinterpret_cast<std::uintptr_t>(folder);
    return 0;
}

int ReadFolder(const char*, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info* info,
               fuse_readdir_flags) {
    // Held back here rather than at the opening, which Wine does three times
    // for one listing.
    std::this_thread::sleep_for(delay);
    DIR* folder = reinterpret_cast<DIR*>(info->fh);
    rewinddir(folder);
    errno = 0;
    while (const dirent* entry = readdir(folder)) {
        struct stat status {};
        status.st_ino = entry->d_ino;
        status.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
        // Offset 0: the whole listing in one call.
        if (fill(buffer, entry->d_name, &status, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) {
            break;
        }
    }
    return -errno;
}

int CloseFolder(const char*, fuse_file_info* info) {
    closedir(reinterpret_cast<DIR*>(info->fh));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: slowfs FOLDER MOUNTPOINT MILLISECONDS [FUSE options]\n");
        return 2;
    }
    source = argv[1];
    delay = std::chrono::milliseconds(std::atoll(argv[3]));
    fuse_operations operations{};
    operations.getattr = &GetAttributes;
    operations.opendir = &OpenFolder;
    operations.readdir = &ReadFolder;
    operations.releasedir = &CloseFolder;
    // One request at a time, in the foreground, read-only.
    std::vector<char*> arguments = {argv[0], argv[2], const_cast<char*>("-f"),
                                    const_cast<char*>("-s"), const_cast<char*>("-oro")};
    arguments.insert(arguments.end(), argv + 4, argv + argc);
    return fuse_main(static_cast<int>(arguments.size()), arguments.data(), &operations, nullptr);
}
