#pragma once

#include "native_text.h"

// The directory that holds the running executable: no trailing separator,
// except for a root directory ("C:\" or "/"), whose separator stays. Throws
// Error when the platform cannot tell.
NativeString ProgramDirectory();

// The directory part of an executable's full path, by the rule above.
NativeString DirectoryOfExecutable(NativeView executablePath);
