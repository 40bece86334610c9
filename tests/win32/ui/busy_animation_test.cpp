// The busy animation on a real screen: the engine's own backdrop and
// animation code, drawn by this process and read back from the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "scripted_user/deadline.h"
#include "scripted_user/png_writer.h"
#include "scripted_user/scripted_user.h"
#include "state/setup_state.h"
#include "ui/backdrop.h"
#include "ui/busy_animation.h"

namespace {

const DWORD PAINT_TIMEOUT_MS = 30000;
const uint8_t LETTER_RED = 255, LETTER_GREEN = 216, LETTER_BLUE = 216;

// The middle half of the 1024x768 desktop, in the backdrop's client
// coordinates, both edges included.
const RECT AREA = {256, 192, 768, 576};

// A band clear of the title text and of the animation area: band 10,
// seven eighths across.
const POINT BAND_POINT = {896, 126};
const uint8_t BAND_RED = 20, BAND_GREEN = 20, BAND_BLUE = 147;

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

POINT toScreen(POINT client) {
    ClientToScreen(setupState.backdropWindow, &client);
    return client;
}

// The screen as RGB rows and the part of it that the animation may touch.
struct Picture {
    scripted_user::Capture screen;

    bool take() { return scripted_user::captureScreen(&screen); }

    const uint8_t* pixel(int x, int y) const {
        return &screen.rgb[(static_cast<size_t>(y) * screen.width + x) * 3];
    }

    static RECT areaOnScreen() {
        POINT topLeft = toScreen({AREA.left, AREA.top});
        POINT bottomRight = toScreen({AREA.right, AREA.bottom});
        return {topLeft.x, topLeft.y, bottomRight.x + 1, bottomRight.y + 1};
    }

    static bool inArea(int x, int y) {
        RECT area = areaOnScreen();
        return x >= area.left && x < area.right && y >= area.top && y < area.bottom;
    }

    int letterPixels() const {
        RECT area = areaOnScreen();
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                const uint8_t* p = pixel(x, y);
                if (p[0] == LETTER_RED && p[1] == LETTER_GREEN && p[2] == LETTER_BLUE) ++count;
            }
        }
        return count;
    }

    // Pixels that differ from `other`, inside the area or outside it.
    int differences(const Picture& other, bool insideArea) const {
        int count = 0;
        for (int y = 0; y < screen.height; ++y) {
            for (int x = 0; x < screen.width; ++x) {
                if (inArea(x, y) != insideArea) continue;
                if (memcmp(pixel(x, y), other.pixel(x, y), 3) != 0) ++count;
            }
        }
        return count;
    }
};

class BusyAnimation : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setupState.instance = GetModuleHandleA(nullptr);
        backdropCreated = createBackdrop() && setupState.backdropWindow != nullptr;
    }

    // The backdrop painted and nothing of it waiting to be painted again, so
    // that pumping messages later can only flush what was drawn, never
    // repaint over it.
    void SetUp() override {
        ASSERT_TRUE(backdropCreated);
        POINT band = toScreen(BAND_POINT);
        bool painted = scripted_user::pollUntil(PAINT_TIMEOUT_MS, [&] {
            pumpMessages();
            scripted_user::Rgb colour;
            return scripted_user::pixelAt(band.x, band.y, &colour) && colour.red == BAND_RED &&
                   colour.green == BAND_GREEN && colour.blue == BAND_BLUE;
        });
        ASSERT_TRUE(painted) << "the backdrop was not painted";
        ASSERT_FALSE(GetUpdateRect(setupState.backdropWindow, nullptr, FALSE));
        ASSERT_TRUE(before.take());
        ASSERT_EQ(before.letterPixels(), 0) << "letters before the animation ran";
    }

    // Waits until the screen shows the area as it was before.
    bool areaRestored(Picture* after) {
        return scripted_user::pollUntil(PAINT_TIMEOUT_MS, [&] {
            pumpMessages();
            return after->take() && after->differences(before, true) == 0;
        });
    }

    static bool backdropCreated;
    Picture before;
};

bool BusyAnimation::backdropCreated = false;

void saveForAPerson(const Picture& picture, const std::string& name) {
    std::string folder = scripted_user::testOutputFolder();
    if (folder.empty()) return;
    scripted_user::writePng(folder + "\\" + name + ".png", picture.screen.width,
                            picture.screen.height, picture.screen.rgb.data());
}

TEST_F(BusyAnimation, TurnsLettersInTheMiddleAndPutsTheAreaBackAsItWas) {
    std::atomic<bool> finished(false);
    Picture frame;
    int letters = 0;
    // A frame caught while the animation runs on this thread.
    std::thread watcher([&] {
        scripted_user::pollUntil(PAINT_TIMEOUT_MS, [&] {
            Picture seen;
            if (seen.take() && seen.letterPixels() > 0) {
                frame = seen;
                letters = seen.letterPixels();
                return true;
            }
            return finished.load();
        });
    });
    // A second of frames: long enough for the watcher to take a whole
    // picture of the screen while it turns, with other tests running.
    const int32_t frameBefore = busyFrame;
    showBusyAnimation(1000);
    finished = true;
    watcher.join();

    EXPECT_GT(letters, 0) << "no letter of the ring showed while it turned";
    if (letters > 0) {
        saveForAPerson(frame, "busy-frame");
        EXPECT_EQ(frame.differences(before, false), 0) << "drawn outside the middle half";
    }
    EXPECT_EQ(busyFrame, (frameBefore + 10) % 36);

    Picture after;
    EXPECT_TRUE(areaRestored(&after)) << after.differences(before, true)
                                      << " pixels of the area differ afterwards";
    EXPECT_EQ(after.letterPixels(), 0);
    EXPECT_EQ(after.differences(before, false), 0);
}

TEST_F(BusyAnimation, ZeroDurationReturnsAtOnceAndDrawsNothing) {
    const int32_t frameBefore = busyFrame;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    showBusyAnimation(0);
    QueryPerformanceCounter(&end);
    const double elapsedMs = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    EXPECT_LT(elapsedMs, 100.0);
    EXPECT_EQ(busyFrame, frameBefore);

    Picture after;
    ASSERT_TRUE(after.take());
    EXPECT_EQ(after.differences(before, true), 0);
    EXPECT_TRUE(areaRestored(&after));
    EXPECT_EQ(after.differences(before, false), 0);
}

TEST_F(BusyAnimation, EachWaitTakesItsFramesAndTheRingGoesOnWhereItStopped) {
    struct Case {
        const char* label;
        int32_t startFrame;
        int32_t durationMs;
        int frames;
    };
    const Case cases[] = {
        {"300 ms", 0, 300, 3},
        {"a part frame counts whole", 5, 250, 3},
        {"one millisecond", 7, 1, 1},
        {"past the last step", 35, 100, 1},
        {"over the end of the turn", 34, 300, 3},
        {"nothing", 12, 0, 0},
        {"less than nothing", 12, -100, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        busyFrame = c.startFrame;
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        showBusyAnimation(c.durationMs);
        QueryPerformanceCounter(&end);
        const double elapsedMs = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
        EXPECT_EQ(busyFrame, (c.startFrame + c.frames) % 36);
        // Each frame waits its 100 ms; the bound above is loose for a
        // loaded machine.
        EXPECT_GE(elapsedMs, c.frames * 100.0 - 5.0);
        EXPECT_LT(elapsedMs, c.frames * 100.0 + 2000.0);
    }
    Picture after;
    EXPECT_TRUE(areaRestored(&after));
    EXPECT_EQ(after.differences(before, false), 0);
}

}  // namespace
