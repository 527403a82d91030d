#include "error.h"

#include <cerrno>
#include <cstring>

Error ErrorFromNumber(long number) {
    // Errors arise on the read-ahead's threads too: strerror_r (GNU's, which
    // returns the text) rather than strerror, which may share one buffer.
    // It follows LC_MESSAGES, so the description is in the user's language
    // once the program has called setlocale.
    char buffer[256];
    return Error(number, ::strerror_r(static_cast<int>(number), buffer, sizeof buffer));
}

void PreferEnglishDescriptions() {
    // Without a call to setlocale, strerror's texts are English already.
}

Error LastError() {
    return ErrorFromNumber(errno);
}

Error InvalidArgumentError() {
    return ErrorFromNumber(EINVAL);
}

Error MissingFolderError() {
    return ErrorFromNumber(ENOENT);
}

Error OutOfMemoryError() {
    return ErrorFromNumber(ENOMEM);
}

Error CancelledError() {
    return ErrorFromNumber(ECANCELED);
}

Error BusyError() {
    return ErrorFromNumber(EBUSY);
}

Error UnlistablePathError() {
    return Error(EINVAL, "A list cannot hold a path with a double quote, CR or LF");
}
