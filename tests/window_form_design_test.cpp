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

}  // namespace
