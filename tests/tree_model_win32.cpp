#include <windows.h>

#include "tree_model.h"

namespace {

const char kChinese[] = "\xe4\xb8\xad";  // U+4E2D: in code page 936 only
const char kThai[] = "\xe0\xb8\x81";     // U+0E01: in neither 1252 nor 936

bool NotInCodePage(const std::string& path) {
    const bool chineseFits = GetACP() == 936;
    return path.find(kThai) != std::string::npos ||
           (!chineseFits && path.find(kChinese) != std::string::npos);
}

}  // namespace

NameRules HostNameRules() {
    // What Windows names can hold of the awkward: spaces (not last), a
    // leading "-", quotes, CJK, Latin letters outside ASCII (U+00E9 is in
    // both code pages the tests run with).
    return NameRules{{"a", "b", "Z", "0", " ", "-", ".", "'", "=", "~", "#", "[", "_", kChinese,
                      "\xc3\xa9", kThai},
                     true,
                     false,
                     NotInCodePage};
}

// The listing's order on Windows: by the upper-case form of the UTF-16 text.
bool ListedBefore(const std::string& a, const std::string& b) {
    std::wstring wa = fs::u8path(a).native();
    std::wstring wb = fs::u8path(b).native();
    CharUpperBuffW(wa.data(), static_cast<DWORD>(wa.size()));
    CharUpperBuffW(wb.data(), static_cast<DWORD>(wb.size()));
    return wa < wb;
}

bool MakeLink(const fs::path& /*target*/, const fs::path& /*link*/) {
    return false;
}

std::string MakeChain(const fs::path& where, int depth, const std::string& name) {
    fs::create_directories(where);
    // The \\?\ form takes paths past MAX_PATH.
    std::wstring path = L"\\\\?\\" + where.native();
    const std::wstring wide = fs::u8path(name).native();
    std::string relative;
    for (int level = 0; level < depth; ++level) {
        path += L"\\" + wide;
        if (!CreateDirectoryW(path.c_str(), nullptr)) {
            return "<chain not made>";
        }
        relative += name + "/";
    }
    HANDLE file = CreateFileW((path + L"\\bottom.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<chain not made>";
    }
    CloseHandle(file);
    return relative + "bottom.txt";
}

int ChainDepthOnDisk() {
    return 150;
}  // still past MAX_PATH
