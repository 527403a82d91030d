#include "obey_drive.h"

#include <cstdio>
#include <string>

#include "error.h"
#include "list_generator.h"

namespace {

const char* KindName(ProblemKind kind) {
    switch (kind) {
        case ProblemKind::kFolderIncomplete:
            return "folder not fully listed";
        case ProblemKind::kNameNotInCodePage:
            return "name not in the code page";
        case ProblemKind::kLineBreakInName:
            return "name with a line break, skipped";
        case ProblemKind::kFolderLoop:
            return "folder loop, skipped";
        case ProblemKind::kNotRegularFile:
            return "not a regular file, skipped";
        case ProblemKind::kQuoteInName:
            return "name with a double quote, skipped";
        case ProblemKind::kNameClash:
            return "name clash";
        case ProblemKind::kBuilderName:
            return "name the image builder reads as another, skipped";
    }
    return "problem";
}

void PrintSummary(int click, const ClickSummary& summary) {
    std::printf("click %d: %llu file lines, %llu problems\n", click,
                static_cast<unsigned long long>(summary.LinesWritten()),
                static_cast<unsigned long long>(summary.ProblemCount()));
    for (const Problem& problem : summary.Kept()) {
        std::printf("  %s: %s%s%s\n", KindName(problem.kind), DisplayText(problem.path).c_str(),
                    problem.reason.empty() ? "" : ": ", problem.reason.c_str());
    }
    const std::uint64_t unshown = summary.ProblemCount() - summary.Kept().size();
    if (unshown != 0) {
        std::printf("  and %llu more\n", static_cast<unsigned long long>(unshown));
    }
}

// A whole number, digits only, at most the limit (below ten million).
bool ParseCount(const NativeString& argument, int limit, int* count) {
    const std::string text = DisplayText(argument);
    if (text.empty() || text.size() > 7 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *count = std::stoi(text);
    return *count <= limit;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: obey_drive [--read-threads N] DIR [CLICKS]\n"
                 "  N: 0 to 1024 threads reading folders ahead of the walk, 0 for none,\n"
                 "     by default as many as the read-ahead finds worth it\n"
                 "  DIR: the program directory; CLICKS: 0 to 1000000, default 1\n");
    return 2;
}

}  // namespace

int RunDrive(std::vector<NativeString> arguments) {
    int clicks = 1;
    int readThreads = -1;  // the read-ahead's own choice
    if (!arguments.empty() && DisplayText(arguments[0]) == "--read-threads") {
        if (arguments.size() < 2 || !ParseCount(arguments[1], 1024, &readThreads)) {
            return Usage();
        }
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.empty() || arguments.size() > 2 || arguments[0].empty() ||
        (arguments.size() == 2 && !ParseCount(arguments[1], 1000000, &clicks))) {
        return Usage();
    }
    ListGenerator generator(arguments[0]);
    if (readThreads >= 0) {
        generator.LimitReadAhead(static_cast<std::size_t>(readThreads));
    }
    const char* step = "load";
    try {
        generator.Form_Load();
        for (int click = 1; click <= clicks; ++click) {
            step = "click";
            PrintSummary(click, generator.Command1_Click());
        }
        step = "unload";
        generator.Form_Unload();
    } catch (const Error& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "obey_drive: %s failed: error %ld: %s%s%s\n", step, error.Number(),
                     error.Description().c_str(), error.Path().empty() ? "" : ": ",
                     DisplayText(error.Path()).c_str());
        return 1;
    }
    return 0;
}
