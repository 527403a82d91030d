#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "error.h"
#include "pattern_file.h"
#include "unique_handle.h"

std::optional<std::string> ReadPatternFile(NativeView path) {
    const std::string name(path);
    // Without waiting for a FIFO's writer: it is refused below.
    FileHandle file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st;
    if (!file.Valid()) {
        // A link that leads nowhere was meant to name patterns.
        if (errno == ENOENT && ::lstat(name.c_str(), &st) != 0) {
            return std::nullopt;
        }
        throw LastError().At(path);
    }
    if (::fstat(file.Get(), &st) != 0) {
        throw LastError().At(path);
    }
    if (!S_ISREG(st.st_mode)) {
        throw ErrorFromNumber(S_ISDIR(st.st_mode) ? EISDIR : EINVAL).At(path);
    }
    // One byte past the limit tells a file that grew meanwhile too.
    std::string bytes(kMostPatternFileBytes + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t more = ::read(file.Get(), bytes.data() + got, bytes.size() - got);
        if (more == 0) {
            break;
        }
        if (more < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw LastError().At(path);
        }
        got += static_cast<std::size_t>(more);
    }
    if (got > kMostPatternFileBytes) {
        throw ErrorFromNumber(EFBIG).At(path);
    }
    bytes.resize(got);
    return bytes;
}

// Names are bytes: a pattern is too, whatever the locale.
NativeString PatternFileText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return NativeString(bytes);
}
