#pragma once

#include <vector>

#include "native_text.h"

// obeygen-cli [OPTIONS] [DIR]: one start, one press and one close of the
// window in the program directory DIR, for scripts. Returns the exit status.
// outputClosed: standard output was closed when the program started.
int RunCli(const std::vector<NativeString>& arguments, bool outputClosed);
