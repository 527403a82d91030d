#include "program_directory.h"

#include <windows.h>

#include "error.h"

NativeString ProgramDirectory() {
    NativeString path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw LastError();
        }
        // A path that fills the buffer may have been cut short.
        if (length < path.size()) {
            path.resize(length);
            return path.substr(0, path.rfind(L'\\'));
        }
        path.resize(path.size() * 2);
    }
}
