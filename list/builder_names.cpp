#include "builder_names.h"

#include <cstdint>

#include "obey_reader.h"

namespace {

template <typename Char>
bool IsDotOrSpace(Char c) {
    return c == '.' || c == ' ';
}

// The device a name opens, in lower case, or empty: the part before its
// first "." with the spaces that end it dropped ("con .txt" is CON too), in
// any case.
template <typename Char>
std::string DeviceOf(std::basic_string_view<Char> name) {
    std::size_t end = name.find(static_cast<Char>('.'));
    end = end == std::basic_string_view<Char>::npos ? name.size() : end;
    while (end > 0 && name[end - 1] == ' ') {
        --end;
    }
    if (end < 3 || end > 4) {
        return {};
    }
    std::string base;
    for (std::size_t i = 0; i < end; ++i) {
        const Char c = FoldAscii(name[i]);
        if (c < 0x20 || c > 0x7E) {
            return {};
        }
        base.push_back(static_cast<char>(c));
    }
    for (const char* device : {"con", "prn", "aux", "nul"}) {
        if (base == device) {
            return base;
        }
    }
    const bool numbered =
        base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0);
    return numbered && base[3] >= '1' && base[3] <= '9' ? base : std::string();
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t point = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                return false;
            }
            point = point << 6 | (next & 0x3Fu);
        }
        const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

bool LinuxNameReadAsOther(std::string_view name) {
    return name.find('\\') != std::string_view::npos || !IsValidUtf8(name);
}

template <typename Char>
bool WindowsNameReadAsOther(std::basic_string_view<Char> name) {
    return !name.empty() && (IsDotOrSpace(name.back()) || !DeviceOf(name).empty());
}

// "." and ".." are steps of their own, not names ending in a dot.
template <typename Char>
std::basic_string<Char> WindowsPathAsRead(std::basic_string_view<Char> path) {
    std::basic_string<Char> read;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < path.size() && path[end] != '\\' && path[end] != '/') {
            ++end;
        }
        std::basic_string_view<Char> step = path.substr(start, end - start);
        const std::string device = DeviceOf(step);
        if (!device.empty()) {
            const std::string whole = "\\\\.\\" + device;
            return std::basic_string<Char>(whole.begin(), whole.end());
        }
        const bool dots =
            step.find_first_not_of(static_cast<Char>('.')) == std::basic_string_view<Char>::npos;
        while (!dots && !step.empty() && IsDotOrSpace(step.back())) {
            step.remove_suffix(1);
        }
        read.append(step);
        if (end == path.size()) {
            return read;
        }
        read.push_back(path[end]);
        start = end + 1;
    }
}

template bool WindowsNameReadAsOther(std::basic_string_view<char>);
template bool WindowsNameReadAsOther(std::basic_string_view<wchar_t>);
template std::basic_string<char> WindowsPathAsRead(std::basic_string_view<char>);
template std::basic_string<wchar_t> WindowsPathAsRead(std::basic_string_view<wchar_t>);
