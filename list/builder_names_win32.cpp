#include <algorithm>

#include "builder_names.h"
#include "obey_reader.h"

// The builder's Windows build: "/" is a separator, and host files are
// opened the ordinary way, case aside.

bool NameReadAsOther(NativeView name) {
    return WindowsNameReadAsOther(name);
}

// Hex digits put in lower case open the same file.
bool FilePathReadAsOther(NativeView path, NativeString& readAs) {
    return RewriteVersion(path, readAs) && !EqualFolded<wchar_t>(path, readAs);
}

NativeString PathAsRead(NativeView path) {
    return WindowsPathAsRead(path);
}

bool SourcePathReadAsOther(NativeView path) {
    return WindowsPathAsRead(path) != path;
}

std::string HostPathAsRead(std::string_view host) {
    std::string read(host);
    std::replace(read.begin(), read.end(), '/', '\\');
    std::string rewritten;
    return WindowsPathAsRead<char>(RewriteVersion<char>(read, rewritten) ? rewritten : read);
}

bool OpensSameFile(std::string_view host, std::string_view opened) {
    std::string read(host);
    std::replace(read.begin(), read.end(), '/', '\\');
    return EqualFolded<char>(read, opened);
}

// The image keeps any name that is no path on the host; in lower case it
// is the same to the builder.
bool ImageNameReadAsOther(std::string_view image, std::string& readAs) {
    return RewriteVersion(image, readAs) && !EqualFolded<char>(image, readAs);
}
