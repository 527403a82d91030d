#include "console.h"
#include "error.h"
#include "obeygen_cli.h"

std::string ConsoleText(NativeView text) {
    return std::string(text);
}

int main(int argc, char** argv) {
    PreferEnglishDescriptions();
    return RunCli(std::vector<NativeString>(argv + 1, argv + argc));
}
