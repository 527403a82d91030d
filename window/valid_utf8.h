#pragma once

#include <string>
#include <string_view>

// The text with every byte that is not part of valid UTF-8 replaced by
// U+FFFD, which toolkits would otherwise refuse. Paths on POSIX are any bytes;
// on Windows they come converted from UTF-16 and are valid already.
std::string ValidUtf8(std::string_view text);
