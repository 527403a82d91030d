#pragma once

#include <vector>

#include "native_text.h"

// Runs the window's life on a program directory without a window:
// obey_drive [--read-threads N] DIR [CLICKS]. Returns the process status.
int RunDrive(std::vector<NativeString> arguments);
