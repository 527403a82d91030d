#include "test_tree.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "file_system.h"
#include "list_generator.h"
#include "obey_format.h"

namespace {}  // namespace

TestDirectory::TestDirectory() {
    std::random_device random;
    std::mt19937_64 engine(random());
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("obey-test-" + std::to_string(engine() % 1000000000));
        if (fs::create_directory(candidate)) {
            // The canonical form is what the listing reports for it.
            path_ = fs::canonical(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a test directory");
}

TestDirectory::~TestDirectory() {
    std::error_code ignored;
    if (fs::remove_all(path_, ignored) != static_cast<std::uintmax_t>(-1) && !ignored) {
        return;
    }
    // Make every folder removable again for the cleanup after permission tests.
    for (auto it = fs::recursive_directory_iterator(
             path_, fs::directory_options::skip_permission_denied, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

void TestDirectory::AddFile(std::string_view relative, std::string_view content) const {
    const fs::path path = Source() / NamePath(relative);
    fs::create_directories(path.parent_path());
    WriteBytes(path, content);
}

void TestDirectory::AddFolder(std::string_view relative) const {
    fs::create_directories(Source() / NamePath(relative));
}

NativeString TestDirectory::Under(std::string_view relative) const {
    if (relative.empty()) {
        return Source().native();
    }
    return (Source() / NamePath(relative)).make_preferred().native();
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

bool Exists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

fs::path NamePath(std::string_view relative) {
    // UTF-8 on Windows; on POSIX the bytes pass as they are.
    return fs::u8path(relative.begin(), relative.end());
}

std::string Narrow(NativeView text) {
    std::string out;
    bool replaced = false;
    AppendNarrow(text, out, &replaced);
    return out;
}

std::string ExpectedLines(const TestDirectory& dir, const std::vector<std::string>& files) {
    const std::string root = Narrow(dir.Source().native());
    std::string lines;
    for (const std::string& file : files) {
        std::string image = static_cast<char>(kSeparator) + Narrow(NamePath(file).native());
        std::replace(image.begin(), image.end(), '/', static_cast<char>(kSeparator));
        lines += "file=" + root + image + "    " + image + "\r\n";
    }
    return lines;
}

std::string ExpectedList(const TestDirectory& dir, const std::vector<std::string>& files,
                         int clicks) {
    std::string list = HeaderBytes();
    for (int click = 0; click < clicks; ++click) {
        list += ExpectedLines(dir, files);
    }
    return list;
}

Outcome ListOnce(const TestDirectory& dir) {
    std::unique_ptr<FileSystem> fileSystem = MakeNativeFileSystem();
    ListGenerator generator(*fileSystem, dir.Native());
    generator.Form_Load();
    Outcome outcome;
    outcome.summary = generator.Command1_Click();
    generator.Form_Unload();
    outcome.list = ReadBytes(dir.List());
    return outcome;
}
