#include <clocale>

#include "obey_drive.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    return RunDrive(std::vector<NativeString>(argv + 1, argv + argc));
}
