#include "shown_text.h"

std::string ShownText(std::string_view bytes, std::size_t most) {
    std::string shown;
    for (std::size_t i = 0; i < bytes.size() && i < most; ++i) {
        const char c = bytes[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r' || c == '\n') {
            shown += c == '\r' ? "\\r" : "\\n";
        } else if (byte < 0x20 || byte == 0x7F) {
            const char digits[] = "0123456789abcdef";
            shown += {'\\', 'x', digits[byte >> 4], digits[byte & 15]};
        } else {
            shown += c;
        }
    }
    return bytes.size() > most ? shown + "..." : shown;
}
