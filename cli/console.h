#pragma once

#include <string>

#include "native_text.h"

// Text as the console shows it: a path's own bytes on POSIX, the console's
// code page on Windows.
std::string ConsoleText(NativeView text);
