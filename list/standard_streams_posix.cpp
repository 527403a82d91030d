#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "standard_streams.h"

namespace {

// The lowest free descriptor is the one taken: opened in turn, each closed
// stream gets its own number back.
bool OpenIfClosed(int fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
        return false;
    }
    const int opened = ::open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened != fd && opened >= 0) {
        ::close(opened);
    }
    return true;
}

}  // namespace

ClosedStreams PrepareStandardStreams() {
    ClosedStreams closed;
    closed.input = OpenIfClosed(STDIN_FILENO);
    closed.output = OpenIfClosed(STDOUT_FILENO);
    closed.error = OpenIfClosed(STDERR_FILENO);
    ::signal(SIGPIPE, SIG_IGN);
    return closed;
}
