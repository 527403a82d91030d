#pragma once

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "click_summary.h"
#include "test_tree.h"

// A tree described in memory, built on disk, and the list and problems a walk
// of it must give, computed from the description alone.
struct ModelFolder {
    std::vector<std::string> files;  // names, UTF-8 (Windows) or raw bytes (POSIX)
    std::vector<std::pair<std::string, ModelFolder>> folders;
    std::vector<std::string> loopLinks;      // links to the source folder itself
    std::vector<std::string> danglingLinks;  // links to nothing: listed as files
};

struct ModelProblem {
    ProblemKind kind;
    std::string relative;  // with "/"
    bool operator==(const ModelProblem& other) const {
        return kind == other.kind && relative == other.relative;
    }
};

// What the host's names can hold, and the order its listing gives.
struct NameRules {
    std::vector<std::string> alphabet;  // the pieces names are made of
    bool caseInsensitive;
    bool linksAvailable;
    bool LineBreakIn(const std::string& name) const;
    // Whether the list's code page lacks a character of the name.
    bool (*notInCodePage)(const std::string& name);
};
NameRules HostNameRules();
bool ListedBefore(const std::string& a, const std::string& b);

ModelFolder RandomTree(std::mt19937_64& random, const NameRules& rules, int depth);
void BuildTree(const ModelFolder& tree, const fs::path& where);
bool MakeLink(const fs::path& target, const fs::path& link);

// The file lines and problems, in walk order.
void ExpectedWalk(const ModelFolder& tree, const TestDirectory& dir, std::string& lines,
                  std::vector<ModelProblem>& problems);
// Readable in failure messages.
void PrintTo(const ModelProblem& problem, std::ostream* out);
std::vector<ModelProblem> ActualProblems(const ClickSummary& summary, const TestDirectory& dir);

// A chain of depth folders of the given name under where, past any path length
// limit, with one file at the bottom. Returns the file's path below where.
std::string MakeChain(const fs::path& where, int depth, const std::string& name);

// How deep a chain on disk the tests build: Wine resolves every long path from
// the drive's root, one folder at a time, so a chain of thousands takes it
// half an hour; the depth that matters for the stack is tested in memory.
int ChainDepthOnDisk();
