#include "check_list.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "builder_names.h"
#include "check_files.h"
#include "console.h"
#include "error.h"
#include "native_char.h"
#include "obey_reader.h"
#include "shown_text.h"

namespace {

// The list's bytes as the console shows them, no more than a reader of a log
// needs.
std::string Shown(std::string_view bytes) {
    return ShownText(bytes, 512);
}

std::string Words(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " word" : " words");
}

bool StartsAsImagePath(const std::string& word) {
    return !word.empty() && (word[0] == '\\' || word[0] == '/');
}

class ListCheck {
  public:
    explicit ListCheck(NativeView list) : list_(ConsoleText(list)) {}

    void Line(const ObeyLine& line) {
        const std::string& keyword = line.words[0];
        const std::size_t taken = line.wordCount - 1;
        if (IsKeyword(keyword, "rofsname") || IsKeyword(keyword, "rofssize")) {
            const bool size = IsKeyword(keyword, "rofssize");
            (size ? hasSize_ : hasName_) = true;
            if (taken == 0) {
                Report("too-few-words", line.number, Shown(keyword) + " takes a value");
            } else if (taken > 1) {
                Miscut(line, 1, line.words.size());
            } else if (size && !IsImageSize(line.words[1])) {
                Report("bad-size", line.number,
                       Shown(line.words[1]) +
                           ": the image size is a whole number above 0, decimal or 0x "
                           "hexadecimal");
            }
        } else if (IsKeyword(keyword, "file") || IsKeyword(keyword, "data")) {
            ++files_;
            File(line, taken);
        } else if (!IsKnownKeyword(keyword)) {
            Report("unknown-keyword", line.number,
                   Shown(keyword) + ": no keyword the builder knows; it skips the line");
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
    // A file= or data= line: a host path, an image path, then attributes.
    // Other words mean a path cut at a space, tab or "=": the builder reads
    // a wrong image path and warns of the rest.
    void File(const ObeyLine& line, std::size_t taken) {
        if (taken < 2) {
            Report(
                "too-few-words", line.number,
                Shown(line.words[0]) + " takes a host path and an image path, not " + Words(taken));
            return;
        }
        std::size_t first = 0;
        if (taken > ObeyReader::kMostWords - 1 || !AreAttributes(line.words, first)) {
            const std::string& word = line.words[first];
            if (first != 0 && first + 1 == line.wordCount && IsValuedAttribute(word)) {
                Report("attribute", line.number,
                       Shown(word) + " takes a value: " + Shown(word) + "=VALUE");
                return;
            }
            // The image path begins at the last word that begins as one.
            std::size_t image = 2;
            for (std::size_t i = 3; i < line.words.size(); ++i) {
                image = StartsAsImagePath(line.words[i]) ? i : image;
            }
            // The host path's cut words would only repeat it as missing; the
            // image path the builder reads still counts among the others.
            Miscut(line, 1, image);
            Miscut(line, image, line.words.size());
            if (image == 2) {
                Host(line);
            }
            Image(line);
            return;
        }
        Host(line);
        Image(line);
    }

    // The host path: the file the builder opens, which must be the very one
    // the line names, a regular file.
    void Host(const ObeyLine& line) {
        const std::string& host = line.words[1];
        if (line.restHashes[1] != kFoldedHashStart) {
            Report("missing", line.number, Shown(host) + ": longer than any path");
            return;
        }
        const std::string opened = HostPathAsRead(host);
        if (!OpensSameFile(host, opened)) {
            Report("builder-name", line.number, Shown(host) + ": read as " + Shown(opened));
            return;
        }
        const std::string problem = HostFileProblem(host);
        if (!problem.empty()) {
            Report("missing", line.number, Shown(host) + ": " + problem);
        }
    }

    // The image path, rewritten as the builder does, compared whole, ASCII
    // letters without case.
    void Image(const ObeyLine& line) {
        const std::string& image = line.words[2];
        std::string readAs;
        const bool other = ImageNameReadAsOther(image, readAs);
        if (other) {
            Report(
                "builder-name", line.number,
                Shown(image) + ": read as " + (readAs.empty() ? "an empty name" : Shown(readAs)));
        }
        std::uint64_t key = FoldedHash(other && !readAs.empty() ? readAs : image);
        key = (key ^ line.restHashes[2]) * 0x9E3779B97F4A7C15ull;
        const auto [earlier, added] = images_.emplace(key, line.number);
        if (!added) {
            Report("duplicate", line.number,
                   Shown(image) + ": same name in the image as line " +
                       std::to_string(earlier->second));
        }
    }

    // The path that words [from, to) were cut from, if more than one.
    void Miscut(const ObeyLine& line, std::size_t from, std::size_t to) {
        if (to - from < 2) {
            return;
        }
        std::string path = line.words[from];
        for (std::size_t i = from + 1; i < to; ++i) {
            path += line.gaps[i] + line.words[i];
        }
        Report("miscut", line.number,
               Shown(path) + ": cut into " + Words(to - from) +
                   " at its spaces, tabs or '=': write it between double quotes");
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
