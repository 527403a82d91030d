// slowfs: a folder shown again at a mount point, read-only, with every folder
// listing and, if asked, every folder opening held back for a while, as a
// network share or a cold disk holds a walk back. Requests are served at the
// same time, each on its own thread, so that readers in parallel overlap as
// they do on a share. Usage:
//   slowfs FOLDER MOUNTPOINT LIST_MS [OPEN_MS] [FUSE options]
// OPEN_MS is 0 by default. It stays in the foreground until the mount point is
// unmounted.

#define FUSE_USE_VERSION 31
#include <fuse3/fuse.h>

#include <dirent.h>
#include <limits.h>
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
std::chrono::milliseconds listDelay{0};
std::chrono::milliseconds openDelay{0};

std::string SourcePath(const char* path) {
    return source + path;
}

// Milliseconds, digits only, at most a minute.
bool ParseMilliseconds(const char* text, std::chrono::milliseconds* delay) {
    const std::string digits = text;
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *delay = std::chrono::milliseconds(std::stol(digits));
    return delay->count() <= 60000;
}

int GetAttributes(const char* path, struct stat* status, fuse_file_info*) {
    return lstat(SourcePath(path).c_str(), status) == 0 ? 0 : -errno;
}

// The delays are slept on the request's own thread, under no lock, so that
// requests in parallel wait in parallel.
int OpenFolder(const char* path, fuse_file_info* info) {
    // Wine opens a folder three times for one listing: the window's tests
    // leave this delay at 0.
    std::this_thread::sleep_for(openDelay);
    DIR* folder = opendir(SourcePath(path).c_str());
    if (folder == nullptr) {
        return -errno;
    }
    info->fh = reinterpret_cast<std::uintptr_t>(folder);
    return 0;
}

int ReadFolder(const char*, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info* info,
               fuse_readdir_flags) {
    std::this_thread::sleep_for(listDelay);
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
    // FUSE options start with '-'; anything before them is OPEN_MS.
    const bool openGiven = argc > 4 && argv[4][0] != '-';
    if (argc < 4 || !ParseMilliseconds(argv[3], &listDelay) ||
        (openGiven && !ParseMilliseconds(argv[4], &openDelay))) {
        std::fprintf(stderr,
                     "usage: slowfs FOLDER MOUNTPOINT LIST_MS [OPEN_MS] [FUSE options]\n"
                     "  LIST_MS, OPEN_MS: 0 to 60000 ms per folder listing and opening\n");
        return 2;
    }
    // FUSE leaves the working folder for "/" once mounted.
    char full[PATH_MAX];
    if (realpath(argv[1], full) == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    source = full;
    fuse_operations operations{};
    operations.getattr = &GetAttributes;
    operations.opendir = &OpenFolder;
    operations.readdir = &ReadFolder;
    operations.releasedir = &CloseFolder;
    // In the foreground, read-only, a thread for each request in flight (no
    // -s). Idle threads wait for the next burst rather than end; the number is
    // set because libfuse 3.14 warns of the unset one.
    std::vector<char*> arguments = {argv[0], argv[2], const_cast<char*>("-f"),
                                    const_cast<char*>("-oro"),
                                    const_cast<char*>("-omax_idle_threads=64")};
    arguments.insert(arguments.end(), argv + (openGiven ? 5 : 4), argv + argc);
    return fuse_main(static_cast<int>(arguments.size()), arguments.data(), &operations, nullptr);
}
