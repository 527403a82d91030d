#include "form_design.h"

int TwipsToPixels(int twips, int dotsPerInch) {
    return static_cast<int>((static_cast<long long>(twips) * dotsPerInch + 720) / 1440);
}

Box ToPixels(const Box& twips, int dotsPerInch) {
    const int left = TwipsToPixels(twips.left, dotsPerInch);
    const int top = TwipsToPixels(twips.top, dotsPerInch);
    return Box{left, top, TwipsToPixels(twips.left + twips.width, dotsPerInch) - left,
               TwipsToPixels(twips.top + twips.height, dotsPerInch) - top};
}
