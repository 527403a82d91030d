#pragma once

#include <string>

#include "native_text.h"

// The \\?\ form of a full path: the Win32 calls then take it exactly as it
// stands, past MAX_PATH and without dropping a trailing dot or space from a
// name ("x." is another folder than "x").
inline std::wstring ExtendedPath(NativeView path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        return std::wstring(path);
    }
    if (path.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + std::wstring(path.substr(2));
    }
    return L"\\\\?\\" + std::wstring(path);
}
