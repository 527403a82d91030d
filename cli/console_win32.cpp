#include <windows.h>

#include "console.h"
#include "error.h"
#include "obeygen_cli.h"

std::string ConsoleText(NativeView text) {
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) {
        codePage = GetACP();  // no console: the output goes to a file or a pipe
    }
    // No look-alikes: a log must not name another file than the one meant.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(
        codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(),
                        size, nullptr, nullptr);
    return out;
}

int wmain(int argc, wchar_t** argv) {
    PreferEnglishDescriptions();
    return RunCli(std::vector<NativeString>(argv + 1, argv + argc));
}
