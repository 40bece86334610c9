// What every test relies on from the test bed: a fixed true-colour screen,
// captures and pixel reads that show what is really on it, and presses that
// count as delivered by one rule.
#include "e2e/e2e_support.h"
#include "scripted_user/deadline.h"
#include "scripted_user/delivery.h"

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

// A window on a thread of its own that ends on the first key pressed in it,
// as a dialog ends on Escape: the key-up of that press may find it gone.
class EndsOnAKey {
public:
    EndsOnAKey() {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
        WaitForSingleObject(ready_, WINDOW_TIMEOUT_MS);
    }
    ~EndsOnAKey() {
        if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_, WINDOW_TIMEOUT_MS);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_KEYDOWN) DestroyWindow(window);
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static DWORD WINAPI run(void* context) {
        EndsOnAKey* self = static_cast<EndsOnAKey*>(context);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TarnwickEndsOnAKey";
        RegisterClassA(&windowClass);
        self->window_ = CreateWindowExA(0, windowClass.lpszClassName, "Ends on a key", WS_POPUP,
                                        0, 0, 10, 10, nullptr, nullptr, windowClass.hInstance,
                                        nullptr);
        SetEvent(self->ready_);
        MSG message;
        while (self->window_ && GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        return 0;
    }

    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(TestBed, APressCountsOnceTheMessageItActsOnIsPosted) {
    using scripted_user::PostResult;
    const PostResult posted = PostResult::POSTED, gone = PostResult::WINDOW_GONE,
                     refused = PostResult::REFUSED;
    struct Row {
        const char* label;
        std::vector<PostResult> results;
        bool delivered;
    };
    const Row rows[] = {
        {"every message posted", {posted, posted}, true},
        {"the window ended on the key-down, before its key-up", {posted, gone}, true},
        {"a click, its only message posted", {posted}, true},
        {"the window gone before the press", {gone, gone}, false},
        {"the key-down refused", {refused, posted}, false},
        {"the key-up refused by a window still there", {posted, refused}, false},
        {"nothing to post", {}, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(scripted_user::pressDelivered(row.results), row.delivered) << row.label;
    }

    // For real: whichever of the two posts the window ends between, the
    // press went through, and a press after its end did not.
    for (int i = 0; i < 20; ++i) {
        EndsOnAKey target;
        ASSERT_NE(target.window(), nullptr);
        EXPECT_TRUE(scripted_user::postPress(target.window(), scripted_user::keyPress(VK_ESCAPE)));
        ASSERT_TRUE(scripted_user::pollUntil(WINDOW_TIMEOUT_MS,
                                             [&] { return !IsWindow(target.window()); }));
        EXPECT_FALSE(
            scripted_user::postPress(target.window(), scripted_user::keyPress(VK_ESCAPE)));
        EXPECT_EQ(scripted_user::describeWindow(target.window()), "gone");
    }
}

}  // namespace
}  // namespace e2e
