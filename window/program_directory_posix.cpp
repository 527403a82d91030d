#include "program_directory.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "error.h"

namespace {

// Where the system's package installs programs: no user may write there, nor
// keep a ROFS folder, so that the program works in the folder it is started
// from (from the desktop's menu, the user's home folder).
bool IsSystemProgramFolder(std::string_view folder) {
    for (const std::string_view system : {"/usr/bin", "/bin", "/usr/local/bin"}) {
        if (folder == system) {
            return true;
        }
    }
    return false;
}

}  // namespace

NativeString ProgramDirectory() {
    // The link names the executable itself, whatever the working directory
    // or the name it was started by.
    char* path = realpath("/proc/self/exe", nullptr);
    if (path == nullptr) {
        throw LastError();
    }
    NativeString directory(path);
    std::free(path);
    directory.resize(directory.rfind('/'));
    if (IsSystemProgramFolder(directory)) {
        char* working = getcwd(nullptr, 0);
        if (working == nullptr) {
            throw LastError();
        }
        directory = working;
        std::free(working);
        // "/" holds its lists as "/ROFS.obey": the suffixes bring the separator.
        if (directory == "/") {
            directory.clear();
        }
    }
    return directory;
}
