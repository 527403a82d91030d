// The form's geometry at the DPIs Windows and GTK offer.
#include <gtest/gtest.h>

#include "form_design.h"

namespace {

TEST(FormDesign, TwipsBecomePixelsAtTheDpi) {
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(kFormClientWidthTwips, 96), 188);
    EXPECT_EQ(TwipsToPixels(kFormClientHeightTwips, 96), 145);
    EXPECT_EQ(TwipsToPixels(kFormClientWidthTwips, 144), 282);
    EXPECT_EQ(TwipsToPixels(kFormClientHeightTwips, 120), 181);  // 181.25
    // Halves round up, as MulDiv rounds them.
    EXPECT_EQ(TwipsToPixels(7, 96), 0);
    EXPECT_EQ(TwipsToPixels(8, 96), 1);
    EXPECT_EQ(TwipsToPixels(612, 96), 41);  // 40.8
}

TEST(FormDesign, ButtonAndLabelsAtTheirDesignedPixelsAt96Dpi) {
    const PixelRect command1 = ToPixels(kControls[0].box, 96);
    const PixelRect label1 = ToPixels(kControls[1].box, 96);
    const PixelRect label2 = ToPixels(kControls[2].box, 96);
    EXPECT_EQ(command1.left, 24);
    EXPECT_EQ(command1.top, 64);
    EXPECT_EQ(command1.width, 129);
    EXPECT_EQ(command1.height, 41);
    EXPECT_EQ(label1.width, 161);
    EXPECT_EQ(label1.height, 41);
    EXPECT_EQ(label2.left, 72);
    EXPECT_EQ(label2.top, 120);
    EXPECT_EQ(label2.width, 105);
    EXPECT_EQ(label2.height, 17);
}

TEST(FormDesign, ControlsStayInsideTheClientAreaAndApartAtEveryScale) {
    for (int dpi : {96, 120, 144, 168, 192, 240, 288, 384}) {
        SCOPED_TRACE(dpi);
        const int width = TwipsToPixels(kFormClientWidthTwips, dpi);
        const int height = TwipsToPixels(kFormClientHeightTwips, dpi);
        for (std::size_t i = 0; i < kControls.size(); ++i) {
            const PixelRect a = ToPixels(kControls[i].box, dpi);
            EXPECT_GE(a.left, 0);
            EXPECT_GE(a.top, 0);
            EXPECT_LE(a.left + a.width, width);
            EXPECT_LE(a.top + a.height, height);
            for (std::size_t j = i + 1; j < kControls.size(); ++j) {
                const PixelRect b = ToPixels(kControls[j].box, dpi);
                const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                                   a.top + a.height <= b.top || b.top + b.height <= a.top;
                EXPECT_TRUE(apart) << kControls[i].name << " overlaps " << kControls[j].name;
            }
        }
    }
}

TEST(FormDesign, TheButtonComesFirstInTabOrder) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        EXPECT_EQ(kControls[i].tabIndex, static_cast<int>(i));
    }
    EXPECT_EQ(kControls[0].name, "Command1");
    EXPECT_EQ(kControls[0].kind, ControlKind::kPushButton);
}

}  // namespace
