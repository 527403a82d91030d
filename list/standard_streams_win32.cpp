#include <windows.h>

#include "standard_streams.h"

namespace {

bool Closed(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

}  // namespace

// Files are opened as handles, never as the C runtime's descriptors, so a
// missing standard handle is never taken over by a file; a write to it, or
// to a pipe whose reader has gone, fails without a signal. Only the record
// of what was missing is needed.
ClosedStreams PrepareStandardStreams() {
    ClosedStreams closed;
    closed.input = Closed(STD_INPUT_HANDLE);
    closed.output = Closed(STD_OUTPUT_HANDLE);
    closed.error = Closed(STD_ERROR_HANDLE);
    return closed;
}
