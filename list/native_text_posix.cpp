#include "native_text.h"

bool AppendNarrow(NativeView text, std::string& out) {
    out.append(text.data(), text.size());
    return true;
}

std::string DisplayText(NativeView text) {
    return std::string(text);
}
