#include <clocale>

#include "obey_drive.h"
#include "standard_streams.h"

int main(int argc, char** argv) {
    PrepareStandardStreams();
    std::setlocale(LC_ALL, "");
    return RunDrive(std::vector<NativeString>(argv + 1, argv + argc));
}
