#include "ui/backdrop_layout.h"

BandSpan gradientBand(int k, int desktopHeight) {
    return BandSpan{desktopHeight * k / GRADIENT_BANDS, desktopHeight * (k + 1) / GRADIENT_BANDS};
}

Colour gradientColour(int k) { return Colour{2 * k, 2 * k, 127 + 2 * k}; }

int titleRowX(int desktopWidth, int textWidth) { return desktopWidth / 2 - textWidth / 2; }

int titleRowCount(int desktopHeight, int textHeight) {
    if (desktopHeight <= 0) return 0;
    if (textHeight <= 0) return 1;
    return (desktopHeight + textHeight - 1) / textHeight;
}
