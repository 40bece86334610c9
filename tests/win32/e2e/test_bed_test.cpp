// What every test relies on from the test bed: a fixed true-colour screen,
// and captures and pixel reads that show what is really on it.
#include "e2e/e2e_support.h"
#include "scripted_user/deadline.h"

namespace e2e {
namespace {

using TestBed = ScriptedRun;

const COLORREF PROBE_COLOUR = RGB(32, 128, 192);
const RECT PROBE_RECT = {100, 120, 340, 260};

bool isProbeColour(const scripted_user::Rgb& pixel) {
    return pixel.red == GetRValue(PROBE_COLOUR) && pixel.green == GetGValue(PROBE_COLOUR) &&
           pixel.blue == GetBValue(PROBE_COLOUR);
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

TEST_F(TestBed, TrueColourScreenShowsAWindowWhereItIs) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_GE(GetDeviceCaps(screen, BITSPIXEL), 24);
    ReleaseDC(nullptr, screen);

    HBRUSH brush = CreateSolidBrush(PROBE_COLOUR);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = brush;
    windowClass.lpszClassName = "TarnwickPixelProbe";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND probe = CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "Pixel probe",
                                 WS_POPUP | WS_VISIBLE, PROBE_RECT.left, PROBE_RECT.top,
                                 PROBE_RECT.right - PROBE_RECT.left,
                                 PROBE_RECT.bottom - PROBE_RECT.top, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    ASSERT_NE(probe, nullptr);
    UpdateWindow(probe);

    const int insideX = 200, insideY = 200, outsideX = 20, outsideY = 20;
    scripted_user::Rgb inside = {0, 0, 0};
    EXPECT_TRUE(scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        pumpMessages();
        return scripted_user::pixelAt(insideX, insideY, &inside) && isProbeColour(inside);
    })) << "inside the window: " << int(inside.red) << "," << int(inside.green) << ","
        << int(inside.blue);
    scripted_user::Rgb outside = {0, 0, 0};
    ASSERT_TRUE(scripted_user::pixelAt(outsideX, outsideY, &outside));
    EXPECT_FALSE(isProbeColour(outside));
    scripted_user::Rgb offScreen;
    EXPECT_FALSE(scripted_user::pixelAt(1024, 0, &offScreen));

    scripted_user::Capture capture;
    ASSERT_TRUE(scripted_user::captureScreen(&capture));
    ASSERT_EQ(capture.width, 1024);
    ASSERT_EQ(capture.height, 768);
    auto captured = [&](int x, int y) {
        const uint8_t* p = &capture.rgb[(static_cast<size_t>(y) * capture.width + x) * 3];
        return scripted_user::Rgb{p[0], p[1], p[2]};
    };
    EXPECT_TRUE(isProbeColour(captured(insideX, insideY)));
    EXPECT_TRUE(isProbeColour(captured(PROBE_RECT.left, PROBE_RECT.top)));
    EXPECT_TRUE(isProbeColour(captured(PROBE_RECT.right - 1, PROBE_RECT.bottom - 1)));
    EXPECT_FALSE(isProbeColour(captured(PROBE_RECT.right, PROBE_RECT.bottom)));
    EXPECT_FALSE(isProbeColour(captured(outsideX, outsideY)));
    EXPECT_TRUE(user.screenshot("probe-window"));

    DestroyWindow(probe);
    UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
    DeleteObject(brush);
}

}  // namespace
}  // namespace e2e
