#include "program_directory.h"

#include <unistd.h>

#include <vector>

#include "error.h"

NativeString ProgramDirectory() {
    // The link names the executable itself, whatever the working directory
    // or the name it was started by.
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            throw LastError();
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return DirectoryOfExecutable(
                NativeView(buffer.data(), static_cast<std::size_t>(length)));
        }
        buffer.resize(buffer.size() * 2);
    }
}
