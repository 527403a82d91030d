#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "click_summary.h"
#include "native_text.h"

namespace fs = std::filesystem;

// A program directory of its own under the system's temporary folder, removed
// with everything in it when the test ends.
class TestDirectory {
  public:
    TestDirectory();
    ~TestDirectory();
    TestDirectory(const TestDirectory&) = delete;
    TestDirectory& operator=(const TestDirectory&) = delete;

    const fs::path& Path() const { return path_; }
    NativeString Native() const { return path_.native(); }
    fs::path Source() const { return path_ / "ROFS"; }
    fs::path List() const { return path_ / "ROFS.obey"; }
    fs::path Backup() const { return path_ / "ROFS_bak.obey"; }

    // Creates a file under ROFS (and the folders it needs); relative uses "/".
    void AddFile(std::string_view relative, std::string_view content = "x") const;
    void AddFolder(std::string_view relative) const;

    // The full path of a file or folder under ROFS, as the walk names it.
    NativeString Under(std::string_view relative) const;

  private:
    fs::path path_;
};

void WriteBytes(const fs::path& path, std::string_view bytes);
std::string ReadBytes(const fs::path& path);
bool Exists(const fs::path& path);

// The list a walk of the given files must give, in the given order: the
// header, then one line per file. Files are relative to ROFS, with "/".
std::string ExpectedList(const TestDirectory& dir, const std::vector<std::string>& files,
                         int clicks = 1);

// The file lines alone, for lists that hold several clicks.
std::string ExpectedLines(const TestDirectory& dir, const std::vector<std::string>& files);

// A name or relative path with "/", in UTF-8 on Windows, as a path.
fs::path NamePath(std::string_view relative);

// Text in the list's narrow encoding.
std::string Narrow(NativeView text);

// A whole window's life on the directory with the platform's own file
// services and one click: the list it leaves and the click's summary.
struct Outcome {
    std::string list;
    ClickSummary summary;
};
Outcome ListOnce(const TestDirectory& dir);
