#include <windows.h>

#include "utf8_win32.h"
#include "valid_utf8.h"

// Through UTF-16 and back: the conversion puts U+FFFD for what is invalid.
std::string ValidUtf8(std::string_view text) {
    return WideToUtf8(Utf8ToWide(text));
}
