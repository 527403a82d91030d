#include "native_text.h"

#include <windows.h>

#include "utf8_win32.h"

bool AppendNarrow(NativeView text, std::string& out) {
    return AppendInCodePage(text, GetACP(), out);
}

std::string DisplayText(NativeView text) {
    return WideToUtf8(text);
}
