// alloc_probe DIR: loads the list of program directory DIR, clicks once and
// prints how many heap allocations the click made, with the click's file
// lines, so that a run can tell whether the walk allocates per file.

#include <cinttypes>
#include <cstdio>

#include "allocation_count.h"
#include "error.h"
#include "list_generator.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: alloc_probe DIR\n");
        return 2;
    }
    try {
        ListGenerator generator(argv[1]);
        generator.Form_Load();
        const std::uint64_t before = AllocationCount();
        const ClickSummary summary = generator.Command1_Click();
        const std::uint64_t during = AllocationCount() - before;
        generator.Form_Unload();
        std::printf("%" PRIu64 " allocations, %" PRIu64 " file lines, %" PRIu64 " problems\n",
                    during, summary.LinesWritten(), summary.ProblemCount());
    } catch (const Error& error) {
        std::fprintf(stderr, "alloc_probe: %s\n", error.what());
        return 1;
    }
    return 0;
}
