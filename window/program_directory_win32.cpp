#include "program_directory.h"

#include <windows.h>

#include <vector>

#include "error.h"

NativeString ProgramDirectory() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw LastError();
        }
        // A full buffer means the path was cut short.
        if (length < buffer.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return DirectoryOfExecutable(NativeView(buffer.data(), length));
        }
        if (buffer.size() >= 32768) {
            throw ErrorFromNumber(ERROR_INSUFFICIENT_BUFFER);
        }
        buffer.resize(buffer.size() * 2);
    }
}
