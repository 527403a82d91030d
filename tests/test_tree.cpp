#include "test_tree.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "list_generator.h"
#include "tree_model.h"

TestDirectory::TestDirectory() {
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("obey-test-" + std::to_string(random() % 1000000000));
        if (fs::create_directory(candidate)) {
            // The canonical form is what the listing reports for it.
            path_ = fs::canonical(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a test directory");
}

// The tests that take rights away run as root, who removes anything.
TestDirectory::~TestDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void TestDirectory::AddFile(std::string_view relative, std::string_view content) const {
    const fs::path path = Source() / fs::u8path(relative.begin(), relative.end());
    fs::create_directories(path.parent_path());
    WriteBytes(path, content);
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.u8string());
    }
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string ExpectedList(const TestDirectory& dir, const std::vector<std::string>& files) {
    const std::string root = dir.Source().string();
    std::string lines;
    for (const std::string& file : files) {
        std::string image = "/" + file;
        std::replace(image.begin(), image.end(), '/', static_cast<char>(kSeparator));
        lines += ExpectedFileLine(root + image, image);
    }
    return std::string(kExpectedHeader) + lines;
}

ClickSummary ListOnce(const TestDirectory& dir) {
    ListGenerator generator(dir.Native());
    generator.Form_Load();
    ClickSummary summary = generator.Command1_Click();
    generator.Form_Unload();
    return summary;
}

void BuildBasicTree(const TestDirectory& dir) {
    for (const char* file : {"b.txt", "a/z/d.txt", "a/c.txt", "sys/bin/b.dll",
                             "with space/-dash 'q'.txt", "x=y/ REM lead.txt"}) {
        dir.AddFile(file);
    }
    fs::create_directories(dir.Source() / "empty" / "inner");
}

// Files before subfolders in every folder, then depth first.
const std::vector<std::string> kBasicTreeList = {"b.txt",
                                                 "a/c.txt",
                                                 "a/z/d.txt",
                                                 "sys/bin/b.dll",
                                                 "with space/-dash 'q'.txt",
                                                 "x=y/ REM lead.txt"};
