#pragma once

#include <string>

#include "error.h"
#include "native_text.h"

// The report of an error that reached an event handler: its number and the
// platform's own description, laid out as the runtime's default error box
// has always shown them, then the file or folder it concerns, if any, so
// that the user knows what to mend, and for the common causes one line that
// says how. sourceFolder: the folder a click lists, whose absence has advice
// of its own. UTF-8.
std::string ErrorReport(const Error& error, NativeView sourceFolder = {});
