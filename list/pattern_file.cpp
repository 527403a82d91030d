#include "pattern_file.h"

#include "program_files.h"

std::vector<FilePattern> ParsePatternFile(std::string_view bytes) {
    static constexpr NativeChar kBlanks[] = {' ', '\t'};
    const NativeString text = PatternFileText(bytes);
    std::vector<FilePattern> patterns;
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == NativeString::npos ? text.size() : end;
        NativeView line(text.data() + start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        // A line of blanks is taken for an empty one: a pattern of spaces
        // alone is more likely an editor's slip than a name.
        if (line.find_first_not_of(NativeView(kBlanks, 2)) == NativeView::npos || line[0] == '#') {
            continue;
        }
        patterns.push_back(FilePattern{NativeString(line), number});
    }
    return patterns;
}

NativeString ExcludeFileBeside(NativeView listPath) {
    NativeString path = FolderOf(FullPath(listPath));
    if (path.empty() || path.back() != kSeparator) {
        path.push_back(kSeparator);
    }
    path.append(kExcludeFileName.begin(), kExcludeFileName.end());
    return path;
}
