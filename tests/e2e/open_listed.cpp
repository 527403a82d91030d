// Opens the host path of each file line of a list (written without quotes)
// the ordinary way a Windows program does, as the image builder does: the C
// library's fopen, CreateFileA beneath, in the ANSI code page. Prints each
// line's image path and the first bytes its host path gave, "<none>" when it
// did not open.
#include <cstdio>

int main(int argc, char** argv) {
    std::FILE* list = argc == 2 ? std::fopen(argv[1], "rb") : nullptr;
    char line[4096], host[2048], image[2048];
    while (list != nullptr && std::fgets(line, sizeof line, list) != nullptr) {
        if (std::sscanf(line, "file=%2047s %2047s", host, image) == 2) {
            char bytes[256] = "<none>";
            if (std::FILE* file = std::fopen(host, "rb")) {
                bytes[std::fread(bytes, 1, sizeof bytes - 1, file)] = '\0';
                std::fclose(file);
            }
            std::printf("%s %s\n", image, bytes);
        }
    }
    return list != nullptr ? 0 : 1;
}
