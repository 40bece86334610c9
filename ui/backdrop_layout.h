// Where the backdrop's gradient bands and title rows go. The layout follows
// the desktop's size, not the window's client area. Portable: no <windows.h>.
#pragma once

enum { GRADIENT_BANDS = 64 };

struct BandSpan {
    int top;
    int bottom;  // exclusive
};

struct Colour {
    int red, green, blue;
};

// Band k of GRADIENT_BANDS from the top: rows H*k/64 up to H*(k+1)/64, so the
// bands cover the whole height with no gap, whatever H is.
BandSpan gradientBand(int k, int desktopHeight);
Colour gradientColour(int k);  // RGB(2k, 2k, 127 + 2k)

// Every row shares one x, centred on the desktop's width (each half
// truncated by itself).
int titleRowX(int desktopWidth, int textWidth);

// Rows are written at y = 0, h, 2h, ... for every y below the desktop's
// height. A title whose height could not be measured (0 or less) still gets
// its one row at the top, and the loop ends.
int titleRowCount(int desktopHeight, int textHeight);
