#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Bytes put on one line of a message whatever they hold: CR and LF as \r and
// \n, other control characters as \xNN, so that a name can neither split a
// message nor forge another. Past most bytes, "..." stands for the rest.
std::string ShownText(std::string_view bytes, std::size_t most = SIZE_MAX);
