#include "obey_drive.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "error.h"
#include "file_system.h"
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

}  // namespace

int RunDrive(const std::vector<NativeString>& arguments) {
    if (arguments.empty() || arguments.size() > 2) {
        std::fprintf(stderr, "usage: obey_drive DIR [CLICKS]\n");
        return 2;
    }
    int clicks = 1;
    if (arguments.size() == 2) {
        clicks = std::atoi(DisplayText(arguments[1]).c_str());
        if (clicks < 0) {
            std::fprintf(stderr, "obey_drive: CLICKS must not be negative\n");
            return 2;
        }
    }
    NativeString directory = arguments[0];
    while (directory.size() > 1 && directory.back() == kSeparator) {
        directory.pop_back();
    }
    std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
    ListGenerator generator(*fileSystem, directory);
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
        std::fprintf(stderr, "obey_drive: %s failed: error %ld: %s\n", step, error.Number(),
                     error.Description().c_str());
        return 1;
    }
    return 0;
}
