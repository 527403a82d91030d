#include "program_directory.h"

#include <cstdlib>

#include "error.h"

NativeString ProgramDirectory() {
    // The link names the executable itself, whatever the working directory
    // or the name it was started by.
    char* path = realpath("/proc/self/exe", nullptr);
    if (path == nullptr) {
        throw LastError();
    }
    NativeString directory(path);
    std::free(path);
    return directory.substr(0, directory.rfind('/'));
}
