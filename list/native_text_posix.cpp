#include "native_text.h"

void AppendNarrow(NativeView text, std::string& out, bool* replaced) {
    out.append(text.data(), text.size());
    *replaced = false;
}

void AppendNarrowPieces(const NativeView* pieces, std::size_t count, std::string& out,
                        bool* replaced) {
    for (std::size_t i = 0; i < count; ++i) {
        out.append(pieces[i].data(), pieces[i].size());
    }
    *replaced = false;
}

std::string DisplayText(NativeView text) {
    return std::string(text);
}
