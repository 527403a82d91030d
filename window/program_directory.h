#pragma once

#include "native_text.h"

// The directory that holds the running executable (on POSIX, the working
// directory for a program installed into /usr/bin, where no user keeps a
// ROFS folder), without a trailing separator: the list's names are this plus
// their suffixes, which begin with one, so a root directory comes out as ""
// or "C:". Throws Error when the platform cannot tell.
NativeString ProgramDirectory();
