#pragma once

#include <array>
#include <string_view>

// The look of the one window, in twips (1/1440 inch), shared by every
// platform's window so that they cannot drift apart. Texts are UTF-8.

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

struct PixelRect {
    int left;
    int top;
    int width;
    int height;
};

enum class ControlKind { kPushButton, kLabel };

struct ControlDesign {
    std::string_view name;
    ControlKind kind;
    std::string_view text;
    TwipsRect box;
    int tabIndex;
    bool wraps;
};

inline constexpr std::string_view kFormCaption = "Obey文件生成工具";

// The client area; the frame is sized around it by the platform.
inline constexpr int kFormClientWidthTwips = 2820;
inline constexpr int kFormClientHeightTwips = 2175;

inline constexpr std::string_view kCommand1Text = "点击生成文件";
inline constexpr std::string_view kLabel1Text = "把文件夹复制到同目录ROFS目录下";
// One line in a box of 1575 by 255 twips: short enough for the system font
// of every supported platform at any scale.
inline constexpr std::string_view kLabel2Text = "ObeyGen 出品";

inline constexpr std::size_t kControlCount = 3;

// In tab order: the first control holds the focus when the window opens.
inline constexpr std::array<ControlDesign, kControlCount> kControls = {{
    {"Command1", ControlKind::kPushButton, kCommand1Text, {360, 960, 1932, 612}, 0, false},
    {"Label1", ControlKind::kLabel, kLabel1Text, {120, 120, 2415, 615}, 1, true},
    {"Label2", ControlKind::kLabel, kLabel2Text, {1080, 1800, 1575, 255}, 2, false},
}};

inline constexpr int kTwipsPerInch = 1440;

// Twips to device pixels at dots per inch, rounded to the nearest pixel, the
// way MulDiv rounds: 15 twips are one pixel at 96 dpi.
int TwipsToPixels(int twips, int dotsPerInch);

PixelRect ToPixels(const TwipsRect& box, int dotsPerInch);
