#include "native_text.h"

void AppendNarrow(NativeView text, std::string& out, bool* replaced) {
    out.append(text.data(), text.size());
    *replaced = false;
}

std::string DisplayText(NativeView text) {
    return std::string(text);
}
