#include "obeygen_cli.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <type_traits>
#include <optional>
#include <string>

#include "check_list.h"
#include "console.h"
#include "error.h"
#include "list_generator.h"
#include "obey_format.h"
#include "obey_version.h"

namespace {

constexpr const char* kUsage =
    "usage: obeygen-cli [OPTIONS] [DIR]\n"
    "       obeygen-cli --check [LIST]\n"
    "Lists every file under DIR/ROFS into DIR/ROFS.obey, keeping the list found there\n"
    "as DIR/ROFS_bak.obey, as the window does in its own folder. DIR: the current\n"
    "directory by default.\n"
    "\n"
    "  -s, --source FOLDER  list FOLDER instead of DIR/ROFS\n"
    "  -o, --output FILE    write FILE instead of DIR/ROFS.obey; its backup is FILE\n"
    "                       with _bak before the extension\n"
    "      --rofsname NAME  the image name of the first line (default CG33.smg)\n"
    "      --rofssize SIZE  the image size of the second line, decimal or 0x\n"
    "                       hexadecimal, written as given (default 0x40000000)\n"
    "      --check [LIST]   write nothing, but read LIST (default: the -o FILE, or\n"
    "                       ./ROFS.obey; a folder: its ROFS.obey) as the image\n"
    "                       builder does; each problem goes to standard error, one\n"
    "                       line each: obeygen-cli: KIND: LIST:LINE: DETAIL, KIND\n"
    "                       one of miscut, missing, duplicate, no-header, no-file;\n"
    "                       exit 0 when the builder takes it, 3 when not, 1 when it\n"
    "                       cannot be read\n"
    "  -h, --help           show this help\n"
    "      --version        show the version\n"
    "\n"
    "Problems go to standard error, one line each: obeygen-cli: KIND: PATH[: REASON],\n"
    "KIND one of skipped-folder, not-in-code-page, line-break, quote, folder-loop,\n"
    "not-regular-file, name-clash (PATH: the earlier name it equals to the builder).\n"
    "Exit status: 0 the list is complete; 3 it was written, but something was\n"
    "skipped or changed; 1 an error, and the list is as it was; 2 a usage error.\n";

constexpr const char* kKindWords[kProblemKindCount] = {
    "skipped-folder", "not-in-code-page", "line-break", "folder-loop", "not-regular-file",
    "quote",          "name-clash"};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "obeygen-cli: %s\nTry 'obeygen-cli --help' for more information.\n",
                 message.c_str());
    return 2;
}

bool Is(NativeView argument, std::string_view ascii) {
    return argument.size() == ascii.size() &&
           std::equal(ascii.begin(), ascii.end(), argument.begin(),
                      [](char a, NativeChar b) { return static_cast<NativeChar>(a) == b; });
}

// A positive whole number in decimal or 0x hexadecimal that fits in 64 bits.
bool IsImageSize(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* const first = text.data() + (hex ? 2 : 0);
    const char* const last = text.data() + text.size();
    // No sign, no space, no prefix: digits only, the whole text.
    std::uint64_t value = 0;
    const std::from_chars_result result = std::from_chars(first, last, value, hex ? 16 : 10);
    return result.ec == std::errc() && result.ptr == last && value != 0;
}

// The image name as the list writes it: not empty, no space, control
// character, "=" or double quote, which would cut its word, every character
// in the list's encoding.
std::optional<std::string> ImageName(NativeView name) {
    std::string bytes;
    if (name.empty() || !AppendNarrow(name, bytes)) {
        return std::nullopt;
    }
    for (const NativeChar c : name) {
        const auto unit = static_cast<std::make_unsigned_t<NativeChar>>(c);
        if (unit <= 0x20 || unit == 0x7F || c == '=' || c == '"') {
            return std::nullopt;
        }
    }
    return bytes;
}

void PrintError(const Error& error) {
    std::fprintf(stderr, "obeygen-cli: error: %s%s%s (error %ld)\n",
                 ConsoleText(error.Path()).c_str(), error.Path().empty() ? "" : ": ",
                 error.Description().c_str(), error.Number());
}

}  // namespace

int RunCli(const std::vector<NativeString>& arguments) {
    std::optional<NativeString> directory;
    std::optional<NativeString> source;
    std::optional<NativeString> output;
    std::string name(kImageName);
    std::string size(kImageSize);
    std::vector<NativeString> words;
    bool check = false;
    bool optionsDone = false;
    for (const NativeString& argument : arguments) {
        // "--output=FILE" is "--output FILE"; after "--" every word is DIR.
        const std::size_t equals = argument.find('=');
        if (!optionsDone && argument.rfind(NativeString(2, '-'), 0) == 0 &&
            equals != NativeString::npos) {
            words.push_back(argument.substr(0, equals));
            words.push_back(argument.substr(equals + 1));
        } else {
            optionsDone = optionsDone || Is(argument, "--");
            words.push_back(argument);
        }
    }
    optionsDone = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const NativeString& argument = words[i];
        if (!optionsDone && Is(argument, "--")) {
            optionsDone = true;
            continue;
        }
        const bool isOption = !optionsDone && argument.size() > 1 && argument[0] == '-';
        const bool takesValue =
            isOption &&
            (Is(argument, "-s") || Is(argument, "--source") || Is(argument, "-o") ||
             Is(argument, "--output") || Is(argument, "--rofsname") || Is(argument, "--rofssize"));
        if (!isOption) {
            if (directory) {
                return UsageError("more than one DIR: '" + ConsoleText(*directory) + "' and '" +
                                  ConsoleText(argument) + "'");
            }
            directory = argument;
            continue;
        }
        if (Is(argument, "-h") || Is(argument, "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (Is(argument, "--check")) {
            check = true;
            continue;
        }
        if (Is(argument, "--version")) {
            std::printf("obeygen-cli %s\n", kObeyVersion);
            return 0;
        }
        if (takesValue && i + 1 == words.size()) {
            return UsageError("option '" + ConsoleText(argument) + "' needs a value");
        }
        if (Is(argument, "-s") || Is(argument, "--source")) {
            source = words[++i];
        } else if (Is(argument, "-o") || Is(argument, "--output")) {
            output = words[++i];
        } else if (Is(argument, "--rofsname")) {
            const std::optional<std::string> bytes = ImageName(words[++i]);
            if (!bytes) {
                return UsageError("bad image name '" + ConsoleText(words[i]) +
                                  "': it must not be empty or hold a space, a control character, "
                                  "'=', '\"' or a character the code page lacks");
            }
            name = *bytes;
        } else if (Is(argument, "--rofssize")) {
            size = DisplayText(words[++i]);
            if (!IsImageSize(size)) {
                return UsageError("bad image size '" + size +
                                  "': it must be a positive whole number, decimal or 0x "
                                  "hexadecimal, that fits in 64 bits");
            }
        } else {
            return UsageError("unknown option '" + ConsoleText(argument) + "'");
        }
    }
    for (const std::optional<NativeString>* path : {&directory, &source, &output}) {
        if (*path && (*path)->empty()) {
            return UsageError("an empty path is no folder or file");
        }
    }
    if (check) {
        if (directory && output) {
            return UsageError("--check reads one list: LIST or -o FILE");
        }
        // With --check the word that is DIR otherwise is the list, or DIR.
        return CheckList(directory ? *directory
                                   : output.value_or(NativeString(1, '.') + kListFileSuffix));
    }
    ListPlaces places = ProgramDirectoryPlaces(directory.value_or(NativeString(1, '.')));
    places.source = source.value_or(places.source);
    places.list = output.value_or(places.list);
    places.header = HeaderBytes(name, size);

    ListGenerator generator(std::move(places));
    generator.ObserveProblems([](const Problem& problem) {
        const std::string& reason =
            problem.other.empty() ? problem.reason : ConsoleText(problem.other);
        std::fprintf(stderr, "obeygen-cli: %s: %s%s%s\n",
                     kKindWords[static_cast<int>(problem.kind)], ConsoleText(problem.path).c_str(),
                     reason.empty() ? "" : ": ", reason.c_str());
    });
    try {
        const ClickSummary summary = generator.ListOnce();
        std::fprintf(stderr, "obeygen-cli: listed %llu %s into %s\n",
                     static_cast<unsigned long long>(summary.LinesWritten()),
                     summary.LinesWritten() == 1 ? "file" : "files",
                     ConsoleText(generator.ListPath()).c_str());
        return summary.HasProblems() ? 3 : 0;
    } catch (const Error& error) {
        PrintError(error);
        return 1;
    }
}
