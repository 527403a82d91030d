#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "click_summary.h"

// A tree described in memory: written on disk, and the list and problems a
// walk of it must give, computed from the description alone. Names are raw
// bytes on POSIX and UTF-8 on Windows.
enum class EntryKind : std::uint8_t {
    kFile,
    kFileLink,       // a link to a regular file outside the tree: listed
    kDanglingLink,   // not listed, reported
    kFifo,           // not listed, reported, and never to be opened
    kFolder,         // the folder TreeEntry::folder
    kOutsideFolder,  // the same, kept outside the tree with a link to it here
    kRootLink,       // a link to the source folder: a loop, reported
};

struct TreeEntry {
    std::string name;
    EntryKind kind;
    std::uint32_t folder;  // for the two folder kinds
};

// Folder 0 is the source folder. Names are unique within a folder, in the
// host's sense of equal names.
struct Tree {
    std::vector<std::vector<TreeEntry>> folders;
};

// Creates programDirectory/ROFS, which must not exist yet, holding the tree;
// outside folders and link targets go to programDirectory/elsewhere.
// programDirectory is a full path. Throws std::runtime_error on any failure.
void WriteTree(const Tree& tree, const std::string& programDirectory);

struct ModelProblem {
    ProblemKind kind;
    std::string relative;    // below the source folder, "/" before each name
    std::string other = {};  // the same for a clash's earlier name
    bool operator==(const ModelProblem& that) const {
        return kind == that.kind && relative == that.relative && other == that.other;
    }
};
void PrintTo(const ModelProblem& problem, std::ostream* out);  // for failure messages

// A file as the builder must read it from the list: its host path and image
// path, in the list's bytes.
struct ListedFile {
    std::string host;
    std::string image;
    bool operator==(const ListedFile& other) const {
        return host == other.host && image == other.image;
    }
};
void PrintTo(const ListedFile& file, std::ostream* out);

// The lines every list opens with, and a file's line from its host and image
// paths in the list's bytes; the builder cuts words at a space, tab or "=".
inline constexpr std::string_view kExpectedHeader = "rofsname=CG33.smg\r\nrofssize=0x40000000\r\n";
std::string ExpectedFileLine(const std::string& host, const std::string& image);

// Hands the list to out piece by piece: the header, then one line per file,
// each folder's files before its subfolders, each in ListedBefore's order,
// depth first; and the problems in the walk's order; and, if asked, the
// files the lines stand for. source is the source folder's full path, in the
// form names are given.
void ExpectedList(const Tree& tree, const std::string& source,
                  const std::function<void(std::string_view)>& out,
                  std::vector<ModelProblem>& problems, std::vector<ListedFile>* files = nullptr);

// The kept problems of a summary in the model's terms.
std::vector<ModelProblem> ProblemsOf(const ClickSummary& summary, NativeView source);

// What the host's names and listing are like.
struct HostRules {
    char separator;
    bool linksAndFifos;                      // whether a tree may hold the link and FIFO kinds
    std::vector<std::string> awkwardPieces;  // what unusual names are made of
};
const HostRules& Host();
// The order in which the walk takes a folder's names: their bytes on POSIX,
// the listing's own on Windows. Equal names are the same name to the host.
bool ListedBefore(const std::string& a, const std::string& b);
// Appends the name in the list's encoding; false if a character had none.
bool AppendListBytes(std::string_view name, std::string& out);
