#include "icon_image.h"

namespace {

class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Has(std::size_t offset, std::size_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    std::uint32_t U8(std::size_t offset) const { return data_[offset]; }
    std::uint32_t U16(std::size_t offset) const { return U8(offset) | U8(offset + 1) << 8; }
    std::uint32_t U32(std::size_t offset) const { return U16(offset) | U16(offset + 2) << 16; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kPaletteSize = 256;

std::size_t RowStride(std::size_t width, std::size_t bits) {
    return (width * bits + 31) / 32 * 4;
}

// A bitmap stored as a DIB: header, palette, colour rows, then the mask
// rows, both bottom-up.
bool DecodeImage(const Reader& in, std::size_t offset, std::size_t length, IconImage& image) {
    if (!in.Has(offset, length) || length < kInfoHeaderSize || in.U32(offset) != kInfoHeaderSize) {
        return false;
    }
    const std::size_t width = in.U32(offset + 4);
    const std::size_t doubledHeight = in.U32(offset + 8);
    const std::size_t bits = in.U16(offset + 14);
    const std::size_t compression = in.U32(offset + 16);
    std::size_t colours = in.U32(offset + 32);
    if (colours == 0) {
        colours = kPaletteSize;
    }
    if (bits != 8 || compression != 0 || colours > kPaletteSize || width == 0 || width > 256 ||
        doubledHeight != 2 * width) {
        return false;
    }
    const std::size_t height = width;
    const std::size_t palette = offset + kInfoHeaderSize;
    const std::size_t pixels = palette + 4 * colours;
    const std::size_t mask = pixels + RowStride(width, bits) * height;
    const std::size_t end = mask + RowStride(width, 1) * height;
    if (end > offset + length) {
        return false;
    }
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.bitsPerPixel = static_cast<int>(bits);
    image.rgba.assign(width * height * 4, 0);
    for (std::size_t y = 0; y < height; ++y) {
        const std::size_t storedRow = height - 1 - y;
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t index = in.U8(pixels + storedRow * RowStride(width, bits) + x);
            const std::uint32_t maskByte = in.U8(mask + storedRow * RowStride(width, 1) + x / 8);
            const bool transparent = (maskByte & (0x80u >> (x % 8))) != 0;
            if (index >= colours) {
                return false;
            }
            std::uint8_t* out = &image.rgba[(y * width + x) * 4];
            const std::size_t colour = palette + 4 * index;  // blue, green, red, unused
            out[0] = static_cast<std::uint8_t>(in.U8(colour + 2));
            out[1] = static_cast<std::uint8_t>(in.U8(colour + 1));
            out[2] = static_cast<std::uint8_t>(in.U8(colour));
            out[3] = transparent ? 0 : 255;
        }
    }
    return true;
}

}  // namespace

std::vector<IconImage> DecodeIcon(const std::uint8_t* data, std::size_t size) {
    const Reader in(data, size);
    if (!in.Has(0, kDirectorySize) || in.U16(0) != 0 || in.U16(2) != 1) {
        return {};
    }
    const std::size_t count = in.U16(4);
    if (count == 0 || !in.Has(kDirectorySize, count * kEntrySize)) {
        return {};
    }
    std::vector<IconImage> images(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kDirectorySize + i * kEntrySize;
        if (!DecodeImage(in, in.U32(entry + 12), in.U32(entry + 8), images[i])) {
            return {};
        }
        // The directory's size must agree with the bitmap's (0 stands for 256).
        const int listedWidth = in.U8(entry) == 0 ? 256 : static_cast<int>(in.U8(entry));
        if (listedWidth != images[i].width) {
            return {};
        }
    }
    return images;
}
