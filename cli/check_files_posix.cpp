#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "check_files.h"
#include "error.h"
#include "unique_handle.h"

void ReadListFile(NativeView path, const std::function<void(std::string_view)>& piece) {
    const std::string name(path);
    // Without waiting for a FIFO's writer: it is refused below.
    FileHandle file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st;
    if (!file.Valid() || ::fstat(file.Get(), &st) != 0) {
        throw LastError().At(path);
    }
    if (!S_ISREG(st.st_mode)) {
        throw Error(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, "Not a regular file").At(path);
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got == 0) {
            return;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw LastError().At(path);
        }
        piece(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
}

bool IsFolder(NativeView path) {
    struct stat st;
    return ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HostFileProblem(const std::string& listBytes) {
    if (listBytes.find('\0') != std::string::npos) {
        return "the path holds a NUL byte";
    }
    // A device is never opened: some act on the opening alone.
    struct stat st;
    if (::stat(listBytes.c_str(), &st) != 0) {
        return ErrorFromNumber(errno).Description();
    }
    if (!S_ISREG(st.st_mode)) {
        return "Not a regular file";
    }
    FileHandle file(::open(listBytes.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.Valid()) {
        return ErrorFromNumber(errno).Description();
    }
    return {};
}
