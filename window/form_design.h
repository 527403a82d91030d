#pragma once

#include <array>
#include <string_view>

// The look of the one window, in twips (1/1440 inch), shared by every
// platform's window so that they cannot drift apart. Texts are UTF-8.

struct Box {
    int left;
    int top;
    int width;
    int height;
};

enum class ControlKind { kPushButton, kLabel };

struct ControlDesign {
    ControlKind kind;
    std::string_view text;
    Box twips;
    bool wraps;
};

inline constexpr std::string_view kFormCaption = "Obey文件生成工具";

// The client area; the frame is sized around it by the platform.
inline constexpr int kFormClientWidthTwips = 2820;
inline constexpr int kFormClientHeightTwips = 2175;

// In tab order: the first control, Command1, holds the focus when the window
// opens. Label2 is one line in a box of 1575 by 255 twips: short enough for
// the system font of every supported platform at any scale.
inline constexpr std::array<ControlDesign, 3> kControls = {{
    {ControlKind::kPushButton, "点击生成文件", {360, 960, 1932, 612}, false},
    {ControlKind::kLabel, "把文件夹复制到同目录ROFS目录下", {120, 120, 2415, 615}, true},
    {ControlKind::kLabel, "ObeyGen 出品", {1080, 1800, 1575, 255}, false},
}};

// Twips to device pixels at dots per inch, rounded to the nearest pixel with
// halves up, the way MulDiv rounds: 15 twips are one pixel at 96 dpi.
int TwipsToPixels(int twips, int dotsPerInch);

// Edges are converted rather than sizes, so that neighbouring controls keep
// their gaps at every scale.
Box ToPixels(const Box& twips, int dotsPerInch);
