#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One image of a Windows icon, unpacked for toolkits that take plain pixels.
struct IconImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;            // as stored in the icon
    std::vector<std::uint8_t> rgba;  // rows top-down, 4 bytes a pixel
};

// The images of a .ico file whose images are stored in 256 colours with a
// transparency mask, the one form the program's icon uses. Empty when the
// data is not such an icon.
std::vector<IconImage> DecodeIcon(const std::uint8_t* data, std::size_t size);

// The program's icon, the same file the Windows executable carries.
extern const std::uint8_t kProgramIcon[];
extern const std::size_t kProgramIconSize;
