// The window's ties to the platform: where the program lives, its icon.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "icon_image.h"
#include "program_directory.h"

namespace {

NativeString Joined(std::initializer_list<const char*> parts) {
    NativeString path;
    bool first = true;
    for (const char* part : parts) {
        if (!first) {
            path.push_back(kSeparator);
        }
        AppendAscii(path, part);
        first = false;
    }
    return path;
}

TEST(ProgramDirectory, IsTheRunningExecutablesFolder) {
    const std::filesystem::path directory(ProgramDirectory());
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_NE(directory.native().back(), kSeparator);
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        found = found || entry.path().filename().string().rfind("obey_tests", 0) == 0;
    }
    EXPECT_TRUE(found) << directory.string();
}

TEST(ProgramDirectory, DropsTheNameAndKeepsTheSeparatorOfARootOnly) {
    EXPECT_EQ(DirectoryOfExecutable(Joined({"C:", "Tools", "ObeyGen.exe"})),
              Joined({"C:", "Tools"}));
    EXPECT_EQ(DirectoryOfExecutable(Joined({"C:", "ObeyGen.exe"})), Joined({"C:", ""}));
    EXPECT_EQ(DirectoryOfExecutable(Joined({"", "obeygen"})), Joined({"", ""}));
    EXPECT_EQ(DirectoryOfExecutable(Joined({"", "", "server", "share", "ObeyGen.exe"})),
              Joined({"", "", "server", "share"}));
}

TEST(ProgramIcon, HoldsThreeImagesOf256ColoursWithArtworkAndTransparency) {
    const std::vector<IconImage> images = DecodeIcon(kProgramIcon, kProgramIconSize);
    ASSERT_EQ(images.size(), 3u);
    const int sizes[] = {16, 32, 48};
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        EXPECT_EQ(image.width, sizes[i]);
        EXPECT_EQ(image.height, sizes[i]);
        EXPECT_EQ(image.bitsPerPixel, 8);
        std::size_t opaque = 0;
        for (std::size_t p = 3; p < image.rgba.size(); p += 4) {
            opaque += image.rgba[p] == 255;
        }
        const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
        EXPECT_GT(opaque, pixels / 2) << sizes[i];
        EXPECT_LT(opaque, pixels) << sizes[i];
    }
}

TEST(ProgramIcon, DamagedDataGivesNoImages) {
    for (std::size_t size :
         {std::size_t{0}, std::size_t{5}, std::size_t{60}, kProgramIconSize - 1}) {
        EXPECT_TRUE(DecodeIcon(kProgramIcon, size).empty()) << size;
    }
    std::vector<std::uint8_t> copy(kProgramIcon, kProgramIcon + kProgramIconSize);
    copy[6] = 17;  // the first image's width, no longer its bitmap's
    EXPECT_TRUE(DecodeIcon(copy.data(), copy.size()).empty());
}

}  // namespace
