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

    // A file under ROFS (and the folders it needs); relative uses "/" and is
    // UTF-8 on Windows.
    void AddFile(std::string_view relative, std::string_view content = "x") const;

  private:
    fs::path path_;
};

void WriteBytes(const fs::path& path, std::string_view bytes);
std::string ReadBytes(const fs::path& path);  // "<missing>" when it is not there

// The header, then one line per file, in the order given;
// files are relative to ROFS, with "/", in ASCII.
std::string ExpectedList(const TestDirectory& dir, const std::vector<std::string>& files);

// A whole life on the directory with one click: the click's summary.
ClickSummary ListOnce(const TestDirectory& dir);

// The basic tree: files directly in ROFS and in subfolders at several depths,
// spaces (a leading one), "=", REM and a leading "-" in names, an empty
// folder, and its list's order.
void BuildBasicTree(const TestDirectory& dir);
extern const std::vector<std::string> kBasicTreeList;
