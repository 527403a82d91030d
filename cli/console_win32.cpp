#include <windows.h>

#include "console.h"
#include "error.h"
#include "obeygen_cli.h"
#include "standard_streams.h"
#include "utf8_win32.h"

std::string ConsoleText(NativeView text) {
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) {
        codePage = GetACP();  // no console: the output goes to a file or a pipe
    }
    // No look-alikes: a log must not name another file than the one meant.
    std::string out;
    AppendInCodePage(text, codePage, out);
    return out;
}

int wmain(int argc, wchar_t** argv) {
    const ClosedStreams closed = PrepareStandardStreams();
    PreferEnglishDescriptions();
    return RunCli(std::vector<NativeString>(argv + 1, argv + argc), closed.output);
}
