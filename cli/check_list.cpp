#include "check_list.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "check_files.h"
#include "console.h"
#include "error.h"
#include "native_char.h"
#include "obey_reader.h"

namespace {

// The list's bytes as the console shows them: control characters escaped,
// and no more than a reader of a log needs.
std::string Shown(const std::string& bytes) {
    constexpr std::size_t kMostShown = 512;
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < kMostShown; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out.push_back(bytes[i]);
        }
    }
    return bytes.size() > kMostShown ? out + "..." : out;
}

// Image paths as the builder compares them: ASCII letters without case.
std::uint64_t FoldedHash(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : bytes) {
        const char folded = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
        hash = (hash ^ static_cast<unsigned char>(folded)) * 1099511628211ull;
    }
    return hash;
}

class ListCheck {
  public:
    explicit ListCheck(NativeView list) : list_(ConsoleText(list)) {}

    void Line(const ObeyLine& line) {
        const std::string& keyword = line.words[0];
        const std::size_t taken = line.wordCount - 1;
        if (IsKeyword(keyword, "rofsname") || IsKeyword(keyword, "rofssize")) {
            (IsKeyword(keyword, "rofsname") ? hasName_ : hasSize_) = true;
            if (taken != 1) {
                Report("miscut", line.number, Words(taken, keyword, 1));
            }
        } else if (IsKeyword(keyword, "file")) {
            ++files_;
            File(line, taken);
        }
    }

    int Finish(std::uint64_t lines) {
        for (const auto& [present, name] :
             {std::pair{hasName_, "rofsname"}, {hasSize_, "rofssize"}}) {
            if (!present) {
                Report("no-header", 1, std::string("no ") + name + " line");
            }
        }
        if (files_ == 0) {
            Report("no-file", lines == 0 ? 1 : lines, "no file line");
        }
        std::fprintf(stderr, "obeygen-cli: %s: %llu file %s, %llu %s\n", list_.c_str(),
                     static_cast<unsigned long long>(files_), files_ == 1 ? "line" : "lines",
                     static_cast<unsigned long long>(problems_),
                     problems_ == 1 ? "problem" : "problems");
        return problems_ == 0 ? 0 : 3;
    }

  private:
    // Words past the image path are read as the file's attributes: a path
    // cut at a space, tab or "=" goes through with a wrong image path.
    void File(const ObeyLine& line, std::size_t taken) {
        if (taken != 2) {
            Report("miscut", line.number, Words(taken, line.words[0], 2));
        }
        if (taken < 1) {
            return;
        }
        const std::string& host = line.words[1];
        const std::string problem = line.cutShort && host.size() == ObeyReader::kMostWordBytes
                                        ? "longer than any path"
                                        : HostFileProblem(host);
        if (!problem.empty()) {
            Report("missing", line.number, Shown(host) + ": " + problem);
        }
        if (taken < 2) {
            return;
        }
        const std::string& image = line.words[2];
        const auto [earlier, added] = images_.emplace(FoldedHash(image), line.number);
        if (!added) {
            Report("duplicate", line.number,
                   Shown(image) + ": as line " + std::to_string(earlier->second));
        }
    }

    static std::string Words(std::size_t count, const std::string& keyword, std::size_t wanted) {
        return std::to_string(count) + (count == 1 ? " word" : " words") + " where " +
               Shown(keyword) + " takes " + std::to_string(wanted);
    }

    void Report(const char* kind, std::uint64_t line, const std::string& detail) {
        std::fprintf(stderr, "obeygen-cli: %s: %s:%llu: %s\n", kind, list_.c_str(),
                     static_cast<unsigned long long>(line), detail.c_str());
        ++problems_;
    }

    const std::string list_;
    bool hasName_ = false;
    bool hasSize_ = false;
    std::uint64_t files_ = 0;
    std::uint64_t problems_ = 0;
    // A hash of each image path, with its line: no list's paths need be
    // held in full.
    std::unordered_map<std::uint64_t, std::uint64_t> images_;
};

}  // namespace

int CheckList(NativeView path) {
    const NativeString list =
        IsFolder(path) ? NativeString(path) + kListFileSuffix : NativeString(path);
    ListCheck check(list);
    ObeyReader reader([&check](const ObeyLine& line) { check.Line(line); });
    try {
        ReadListFile(list, [&reader](std::string_view piece) { reader.Feed(piece); });
    } catch (const Error& error) {
        std::fprintf(stderr, "obeygen-cli: error: %s: %s (error %ld)\n",
                     ConsoleText(error.Path()).c_str(), error.Description().c_str(),
                     error.Number());
        return 1;
    }
    reader.Finish();
    return check.Finish(reader.LineCount());
}
