#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "tree_model.h"

namespace {

std::wstring Wide(std::string_view utf8) {
    return std::filesystem::u8path(utf8.begin(), utf8.end()).native();
}

[[noreturn]] void Fail(const std::wstring& path) {
    throw std::runtime_error("creating " + std::filesystem::path(path).u8string() + ": error " +
                             std::to_string(GetLastError()));
}

void WriteFolder(const Tree& tree, std::uint32_t index, const std::wstring& path) {
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
        Fail(path);
    }
    for (const TreeEntry& entry : tree.folders[index]) {
        const std::wstring child = path + L"\\" + Wide(entry.name);
        if (entry.kind == EntryKind::kFolder) {
            WriteFolder(tree, entry.folder, child);
        } else if (entry.kind == EntryKind::kFile) {
            HANDLE file = CreateFileW(child.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                Fail(child);
            }
            CloseHandle(file);
        } else {
            throw std::runtime_error("no links or FIFOs in trees on Windows");
        }
    }
}

}  // namespace

void WriteTree(const Tree& tree, const std::string& programDirectory) {
    // The \\?\ form takes paths past MAX_PATH.
    std::wstring source = L"\\\\?\\" + Wide(programDirectory) + L"\\ROFS";
    std::replace(source.begin(), source.end(), L'/', L'\\');
    WriteFolder(tree, 0, source);
}

const HostRules& Host() {
    // What Windows names can hold of the awkward: spaces (not last), a
    // leading "-", quotes, CJK, a Latin letter outside ASCII (U+00E9, in both
    // code pages the tests run with) and Thai (U+0E01, in neither); version
    // braces, which the builder rewrites.
    static const HostRules rules{'\\', false, {"a",           "b",
                                               "Z",           "0",
                                               " ",           "-",
                                               ".",           "'",
                                               "=",           "~",
                                               "#",           "[",
                                               "_",           "\xe4\xb8\xad",
                                               "\xc3\xa9",    "\xe0\xb8\x81",
                                               "REM",         "{1.2}.",
                                               "{0000000A}.", "{}"}};
    return rules;
}

bool ListedBefore(const std::string& a, const std::string& b) {
    // NTFS, and Wine after it, list by the upper-case form of the UTF-16 text.
    std::wstring wa = Wide(a);
    std::wstring wb = Wide(b);
    CharUpperBuffW(wa.data(), static_cast<DWORD>(wa.size()));
    CharUpperBuffW(wb.data(), static_cast<DWORD>(wb.size()));
    return wa < wb;
}

bool AppendListBytes(std::string_view name, std::string& out) {
    // The ANSI code page, without best fit: a character it lacks becomes its
    // default character.
    const std::wstring wide = Wide(name);
    const int size = static_cast<int>(wide.size());
    BOOL replaced = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                           0, nullptr, &replaced);
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data() + start, length,
                        nullptr, &replaced);
    return !replaced;
}
