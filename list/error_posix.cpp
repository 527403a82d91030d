#include "error.h"

#include <cerrno>
#include <cstring>

Error ErrorFromNumber(long number) {
    // strerror follows LC_MESSAGES, so the description is in the user's language
    // once the program has called setlocale.
    return Error(number, std::strerror(static_cast<int>(number)));
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
