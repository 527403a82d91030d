#include <algorithm>

#include "builder_names.h"
#include "obey_reader.h"

// The builder's Linux build: "\" is a separator; names are UTF-8.

bool NameReadAsOther(NativeView name) {
    return LinuxNameReadAsOther(name);
}

bool FilePathReadAsOther(NativeView path, NativeString& readAs) {
    return RewriteVersion(path, readAs) && readAs != path;
}

NativeString PathAsRead(NativeView path) {
    NativeString read(path);
    std::replace(read.begin(), read.end(), '\\', '/');
    return read == path ? NativeString() : read;
}

bool SourcePathReadAsOther(NativeView path) {
    return path.find('\\') != NativeView::npos;
}

std::string HostPathAsRead(std::string_view host) {
    std::string read(host);
    std::replace(read.begin(), read.end(), '\\', '/');
    std::string rewritten;
    return RewriteVersion<char>(read, rewritten) ? rewritten : read;
}

bool OpensSameFile(std::string_view host, std::string_view opened) {
    return host == opened;
}

// An image name not in UTF-8 goes in as an empty name.
bool ImageNameReadAsOther(std::string_view image, std::string& readAs) {
    if (RewriteVersion(image, readAs) && readAs != image) {
        return true;
    }
    readAs.clear();
    return !IsValidUtf8(image);
}
