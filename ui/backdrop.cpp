#include "ui/backdrop.h"

#include "common/bounded_text.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "ui/backdrop_layout.h"
#include "ui/resource_ids.h"

namespace {

const char BACKDROP_CLASS[] = "install";

// 48-pixel bold Times New Roman; the stock variable font stands in when it
// cannot be made, so painting and the busy animation always have a font.
HFONT createTitleFont() {
    LOGFONTA font = {};
    font.lfHeight = 48;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    lstrcpynA(font.lfFaceName, "Times New Roman", LF_FACESIZE);
    HFONT created = CreateFontIndirectA(&font);
    return created ? created : static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
}

RECT desktopRect() {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    return desktop;
}

void paintGradient(HDC dc, const RECT& desktop) {
    for (int k = 0; k < GRADIENT_BANDS; ++k) {
        BandSpan span = gradientBand(k, desktop.bottom);
        Colour colour = gradientColour(k);
        RECT band = {0, span.top, desktop.right, span.bottom};
        HBRUSH brush = CreateSolidBrush(RGB(colour.red, colour.green, colour.blue));
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
}

void paintTitleRows(HDC dc, const RECT& desktop) {
    HGDIOBJ previousFont = SelectObject(dc, setupState.titleFont);
    int length = lstrlenA(setupState.windowTitle);
    SIZE text = {0, 0};
    GetTextExtentPoint32A(dc, setupState.windowTitle, length, &text);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    int x = titleRowX(desktop.right, text.cx);
    int rows = titleRowCount(desktop.bottom, text.cy);
    for (int row = 0; row < rows; ++row) {
        TextOutA(dc, x, row * text.cy, setupState.windowTitle, length);
    }
    SelectObject(dc, previousFont);
}

}  // namespace

void paintBackdrop(HDC dc, const RECT& desktop) {
    paintGradient(dc, desktop);
    paintTitleRows(dc, desktop);
}

LRESULT CALLBACK backdropWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
    RECT desktop = desktopRect();
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    paintBackdrop(dc, desktop);
    EndPaint(window, &paint);
    return 0;
}

bool createBackdrop() {
    formatText(setupState.windowTitle, sizeof setupState.windowTitle, "Install %s",
               installerConfig.productName);
    setupState.titleFont = createTitleFont();

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = backdropWindowProc;
    windowClass.hInstance = setupState.instance;
    windowClass.hIcon = LoadIconA(setupState.instance, MAKEINTRESOURCEA(IDI_SETUP_ICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = BACKDROP_CLASS;
    if (!RegisterClassA(&windowClass)) return false;

    formatText(setupState.scratchText, sizeof setupState.scratchText, "Install %s",
               installerConfig.productName);
    RECT desktop = desktopRect();
    // Visible from creation; its first paint comes with the first modal loop.
    setupState.backdropWindow = CreateWindowExA(
        0, BACKDROP_CLASS, setupState.scratchText, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
        desktop.right, desktop.bottom, nullptr, nullptr, setupState.instance, nullptr);
    return true;
}

void destroyBackdrop() {
    DestroyWindow(setupState.backdropWindow);
    DeleteObject(setupState.titleFont);
}
