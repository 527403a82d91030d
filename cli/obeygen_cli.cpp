#include "obeygen_cli.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "check_list.h"
#include "console.h"
#include "error.h"
#include "list_generator.h"
#include "obey_reader.h"
#include "obey_format.h"
#include "obey_version.h"
#include "shown_text.h"

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
    "                       with _bak before the extension. '-o -' writes the list\n"
    "                       to standard output, with no backup and no lock\n"
    "      --exclude PATTERN  leave out, unlisted and unreported, what PATTERN\n"
    "                       names; '*' and '?' are wildcards, a folder left out is\n"
    "                       not entered, and a PATTERN with '/' is an image path\n"
    "                       from the source folder down; case counts on Linux\n"
    "                       only. Repeatable:\n"
    "                       --exclude Thumbs.db --exclude '*.tmp' --exclude sys/tmp\n"
    "      --exclude-from FILE  --exclude each line of FILE but blank lines and\n"
    "                       lines beginning with '#'. Repeatable. The patterns of\n"
    "                       ROFS.exclude beside the list are taken too, when it\n"
    "                       exists\n"
    "      --rofsname NAME  the image name of the first line (default CG33.smg)\n"
    "      --rofssize SIZE  the image size of the second line, decimal or 0x\n"
    "                       hexadecimal, written as given (default 0x40000000)\n"
    "      --check [LIST]   write nothing, but read LIST (default: the -o FILE, or\n"
    "                       ./ROFS.obey; a folder: its ROFS.obey) as the image\n"
    "                       builder does; each problem goes to standard error, one\n"
    "                       line each: obeygen-cli: KIND: LIST:LINE: DETAIL, KIND\n"
    "                       one of miscut, too-few-words, attribute,\n"
    "                       unknown-keyword, bad-size, builder-name, missing,\n"
    "                       duplicate, no-header, no-file; exit 0 when the builder\n"
    "                       takes it without a warning, 3 when not, 1 when it\n"
    "                       cannot be read\n"
    "  -h, --help           show this help\n"
    "      --version        show the version\n"
    "\n"
    "Problems go to standard error, one line each: obeygen-cli: KIND: PATH[: REASON],\n"
    "KIND one of skipped-folder, not-in-code-page, line-break, quote, folder-loop,\n"
    "not-regular-file, name-clash (same name in the image as an earlier one),\n"
    "builder-name (left out: the image builder reads it as another name or file);\n"
    "control characters in PATH are shown as \\r, \\n, \\xNN.\n"
    "Exit status: 0 the list is complete; 3 it was written, but something was\n"
    "skipped or changed; 1 an error, and the list is as it was; 2 a usage error.\n";

std::string Shown(NativeView text) {
    return ShownText(ConsoleText(text));
}

constexpr const char* kKindWords[kProblemKindCount] = {
    "skipped-folder", "not-in-code-page", "line-break",  "folder-loop", "not-regular-file",
    "quote",          "name-clash",       "builder-name"};

// A problem's REASON: the earlier name a clash equals, what the builder reads
// for a name, or the error's words.
std::string Reason(const Problem& problem) {
    if (problem.kind == ProblemKind::kNameClash) {
        return "same name in the image as " + Shown(problem.other);
    }
    if (problem.kind == ProblemKind::kBuilderName) {
        return problem.other.empty() ? "read as an empty name (not UTF-8)"
                                     : "read as " + Shown(problem.other);
    }
    return problem.reason;
}

// The summary's end: how many names the list left out, and whether the
// builder takes it: two names it takes for one stop its build.
std::string Verdict(const ClickSummary& summary) {
    const std::uint64_t leftOut = summary.Count(ProblemKind::kLineBreakInName) +
                                  summary.Count(ProblemKind::kQuoteInName) +
                                  summary.Count(ProblemKind::kBuilderName);
    std::string verdict = "; " + std::to_string(leftOut) + (leftOut == 1 ? " name" : " names") +
                          " left out; the image builder will ";
    const std::uint64_t clashes = summary.Count(ProblemKind::kNameClash);
    if (clashes == 0) {
        return verdict + "take this list";
    }
    return verdict + "refuse this list: " + std::to_string(clashes) +
           (clashes == 1 ? " name clash" : " name clashes");
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "obeygen-cli: %s\nTry 'obeygen-cli --help' for more information.\n",
                 message.c_str());
    return 2;
}

// --help and --version: a text nobody can read is a failure, not a success.
int PrintText(const char* text, bool outputClosed) {
    if (!outputClosed && std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0) {
        return 0;
    }
    std::fprintf(stderr, "obeygen-cli: cannot write to standard output\n");
    return 2;
}

bool Is(NativeView argument, std::string_view ascii) {
    return argument.size() == ascii.size() &&
           std::equal(ascii.begin(), ascii.end(), argument.begin(),
                      [](char a, NativeChar b) { return static_cast<NativeChar>(a) == b; });
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
    std::fprintf(stderr, "obeygen-cli: error: %s%s%s (error %ld)\n", Shown(error.Path()).c_str(),
                 error.Path().empty() ? "" : ": ",
                 error.Number() == BusyError().Number()
                     ? "busy: another ObeyGen program is writing a list there"
                     : error.Description().c_str(),
                 error.Number());
}

// What to do when a folder the run needs is not there.
void PrintAdvice(const Error& error, const ListGenerator& generator) {
    if (error.Number() != MissingFolderError().Number()) {
        return;
    }
    try {
        if (error.Path() == FullPath(generator.SourcePath())) {
            std::fprintf(stderr,
                         "obeygen-cli: no folder to list at %s: name the folder to list with "
                         "-s FOLDER, or the folder that holds ROFS as DIR\n",
                         Shown(error.Path()).c_str());
        } else if (error.Path() == FolderOf(FullPath(generator.ListPath()))) {
            std::fprintf(stderr,
                         "obeygen-cli: no folder %s for the list: name an existing folder as "
                         "DIR, or the list with -o FILE\n",
                         Shown(error.Path()).c_str());
        }
    } catch (const Error&) {
        // No advice then: the error itself has been said.
    }
}

// What the summary line adds: the files added and removed against the
// earlier list, and what the patterns left out.
std::string OutcomeText(const ClickSummary& summary) {
    std::string text;
    if (summary.Changes()) {
        text += " (+" + std::to_string(summary.Changes()->added) + " -" +
                std::to_string(summary.Changes()->removed) + ")";
    }
    if (summary.PatternCount() != 0) {
        text += "; patterns left out " + std::to_string(summary.LeftOut()) +
                (summary.LeftOut() == 1 ? " entry" : " entries");
    }
    return text;
}

// A pattern that leaves nothing out is mostly a mistyped one.
void PrintIdlePatterns(const ClickSummary& summary) {
    for (const IdlePattern& idle : summary.IdlePatterns()) {
        std::fprintf(stderr, "obeygen-cli: note: %s: pattern '%s' left out nothing\n",
                     Shown(idle.origin).c_str(), Shown(idle.pattern).c_str());
    }
}

bool TakesValue(NativeView option) {
    for (const char* name : {"-s", "--source", "-o", "--output", "--rofsname", "--rofssize",
                             "--exclude", "--exclude-from"}) {
        if (Is(option, name)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int RunCli(const std::vector<NativeString>& arguments, bool outputClosed) {
    std::optional<NativeString> directory;
    std::optional<NativeString> source;
    std::optional<NativeString> output;
    // Each --exclude (false) and --exclude-from (true) in the order given.
    std::vector<std::pair<bool, NativeString>> excluded;
    std::string name(kImageName);
    std::string size(kImageSize);
    // Each option and its value, none for an option that takes none.
    std::vector<std::pair<NativeString, std::optional<NativeString>>> options;
    bool check = false;
    bool optionsDone = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const NativeString& argument = arguments[i];
        if (optionsDone || argument.size() < 2 || argument[0] != '-') {
            if (directory) {
                return UsageError("more than one DIR: '" + Shown(*directory) + "' and '" +
                                  Shown(argument) + "'");
            }
            directory = argument;
            continue;
        }
        if (Is(argument, "--")) {
            optionsDone = true;
            continue;
        }
        // "--output=FILE" is "--output FILE"; "--check=LIST" is "--check LIST".
        const std::size_t equals = argument.find('=');
        if (argument[1] == '-' && equals != NativeString::npos) {
            const NativeString option = argument.substr(0, equals);
            if (!TakesValue(option) && !Is(option, "--check")) {
                return UsageError("option '" + Shown(option) + "' takes no value");
            }
            options.emplace_back(option, argument.substr(equals + 1));
        } else if (!TakesValue(argument)) {
            options.emplace_back(argument, std::nullopt);
        } else if (i + 1 == arguments.size()) {
            return UsageError("option '" + Shown(argument) + "' needs a value");
        } else {
            // "-o -- x" or "-o -s x" is a value forgotten, not a file named
            // "--"; such a name can still be given as "--output=--".
            const NativeString& value = arguments[++i];
            if (value.size() > 1 && value[0] == '-') {
                return UsageError("option '" + Shown(argument) + "' needs a value, not '" +
                                  Shown(value) + "'");
            }
            options.emplace_back(argument, value);
        }
    }
    for (const auto& [option, value] : options) {
        if (Is(option, "-h") || Is(option, "--help")) {
            return PrintText(kUsage, outputClosed);
        }
        if (Is(option, "--version")) {
            return PrintText(("obeygen-cli " + std::string(kObeyVersion) + "\n").c_str(),
                             outputClosed);
        }
    }
    for (const auto& [option, value] : options) {
        if (Is(option, "--check")) {
            check = true;
            if (value) {
                if (directory) {
                    return UsageError("--check reads one list: LIST or -o FILE");
                }
                directory = *value;
            }
        } else if (Is(option, "-s") || Is(option, "--source")) {
            source = *value;
        } else if (Is(option, "-o") || Is(option, "--output")) {
            output = *value;
        } else if (Is(option, "--exclude")) {
            if (value->empty()) {
                return UsageError("an empty pattern excludes nothing");
            }
            excluded.emplace_back(false, *value);
        } else if (Is(option, "--exclude-from")) {
            excluded.emplace_back(true, *value);
        } else if (Is(option, "--rofsname")) {
            const std::optional<std::string> bytes = ImageName(*value);
            if (!bytes) {
                return UsageError("bad image name '" + Shown(*value) +
                                  "': it must not be empty or hold a space, a control character, "
                                  "'=', '\"' or a character the code page lacks");
            }
            name = *bytes;
        } else if (Is(option, "--rofssize")) {
            size = DisplayText(*value);
            if (!IsImageSize(size)) {
                return UsageError("bad image size '" + Shown(*value) +
                                  "': it must be a positive whole number, decimal or 0x "
                                  "hexadecimal, that fits in 64 bits");
            }
        } else {
            return UsageError("unknown option '" + Shown(option) + "'");
        }
    }
    for (const std::optional<NativeString>* path : {&directory, &source, &output}) {
        if (*path && (*path)->empty()) {
            return UsageError("an empty path is no folder or file");
        }
    }
    const bool toOutput = output && Is(*output, "-");
    if (check) {
        if ((directory && output) || toOutput) {
            return UsageError("--check reads one list: LIST or -o FILE");
        }
        // With --check the word that is DIR otherwise is the list, or DIR.
        return CheckList(directory ? *directory
                                   : output.value_or(NativeString(1, '.') + kListFileSuffix));
    }
    ListPlaces places = ProgramDirectoryPlaces(directory.value_or(NativeString(1, '.')));
    places.source = source.value_or(places.source);
    places.list = toOutput ? places.list : output.value_or(places.list);
    places.header = HeaderBytes(name, size);

    ListGenerator generator(std::move(places));
    try {
        for (const auto& [fromFile, pattern] : excluded) {
            fromFile ? generator.ExcludeFrom(pattern) : generator.Exclude(pattern);
        }
    } catch (const Error& error) {
        PrintError(error);
        return 1;
    }
    generator.ObserveProblems([](const Problem& problem) {
        const std::string reason = Reason(problem);
        std::fprintf(stderr, "obeygen-cli: %s: %s%s%s\n",
                     kKindWords[static_cast<int>(problem.kind)], Shown(problem.path).c_str(),
                     reason.empty() ? "" : ": ", reason.c_str());
    });
    if (toOutput && outputClosed) {
        std::fprintf(stderr, "obeygen-cli: error: standard output is closed\n");
        return 1;
    }
    try {
        const ClickSummary summary =
            toOutput ? generator.ListToStandardOutput() : generator.ListOnce();
        std::fprintf(stderr, "obeygen-cli: listed %llu %s into %s%s\n",
                     static_cast<unsigned long long>(summary.LinesWritten()),
                     summary.LinesWritten() == 1 ? "file" : "files",
                     toOutput ? "standard output" : Shown(generator.ListPath()).c_str(),
                     (OutcomeText(summary) + Verdict(summary)).c_str());
        PrintIdlePatterns(summary);
        return summary.HasProblems() ? 3 : 0;
    } catch (const Error& error) {
        PrintError(error);
        PrintAdvice(error, generator);
        return 1;
    }
}
