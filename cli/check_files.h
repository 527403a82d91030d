#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "native_text.h"

// What --check asks of the system, once per platform.

// Hands the whole of a list to piece, in pieces, following links. Throws
// Error when it cannot be opened or read, and at once when it is not a
// regular file (a FIFO would wait for a writer, a device never end).
void ReadListFile(NativeView path, const std::function<void(std::string_view)>& piece);

// Whether path names a folder (through a link too).
bool IsFolder(NativeView path);

// Why the builder could not take the host file the list's bytes name (they
// are in the list's encoding): it is not there, cannot be opened for
// reading, or is no regular file. Empty when it can. Nothing but a regular
// file is ever opened.
std::string HostFileProblem(const std::string& listBytes);
