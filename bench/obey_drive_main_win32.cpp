#include <windows.h>

#include "obey_drive.h"
#include "standard_streams.h"

int wmain(int argc, wchar_t** argv) {
    PrepareStandardStreams();
    // Reports are UTF-8.
    SetConsoleOutputCP(CP_UTF8);
    return RunDrive(std::vector<NativeString>(argv + 1, argv + argc));
}
