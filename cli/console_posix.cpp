#include "console.h"
#include "error.h"
#include "obeygen_cli.h"
#include "standard_streams.h"

std::string ConsoleText(NativeView text) {
    return std::string(text);
}

int main(int argc, char** argv) {
    const ClosedStreams closed = PrepareStandardStreams();
    PreferEnglishDescriptions();
    return RunCli(std::vector<NativeString>(argv + 1, argv + argc), closed.output);
}
