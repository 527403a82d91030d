#include "form_design.h"

int TwipsToPixels(int twips, int dotsPerInch) {
    const long long product = static_cast<long long>(twips) * dotsPerInch;
    const long long half = kTwipsPerInch / 2;
    // Halves round away from zero, as MulDiv does.
    const long long rounded =
        product >= 0 ? (product + half) / kTwipsPerInch : -((-product + half) / kTwipsPerInch);
    return static_cast<int>(rounded);
}

PixelRect ToPixels(const TwipsRect& box, int dotsPerInch) {
    // Edges are converted rather than sizes, so that neighbouring controls
    // keep their gaps at every scale.
    const int left = TwipsToPixels(box.left, dotsPerInch);
    const int top = TwipsToPixels(box.top, dotsPerInch);
    const int right = TwipsToPixels(box.left + box.width, dotsPerInch);
    const int bottom = TwipsToPixels(box.top + box.height, dotsPerInch);
    return PixelRect{left, top, right - left, bottom - top};
}
