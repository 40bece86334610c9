// The arithmetic behind the backdrop, the busy animation and the progress
// dialog's percentage line.
#include <gtest/gtest.h>

#include <string>

#include "ui/backdrop_layout.h"
#include "ui/busy_layout.h"
#include "ui/progress_text.h"

namespace {

TEST(BackdropLayout, BandsCoverTheHeightWithoutGapOrOverlap) {
    for (int height : {768, 600, 1000, 63, 1}) {
        SCOPED_TRACE(height);
        int expectedTop = 0;
        for (int k = 0; k < GRADIENT_BANDS; ++k) {
            BandSpan band = gradientBand(k, height);
            EXPECT_EQ(expectedTop, band.top) << "band " << k;
            EXPECT_GE(band.bottom, band.top);
            int bandHeight = band.bottom - band.top;
            if (height == 768) {
                EXPECT_EQ(12, bandHeight);
            }
            if (height == 1000) {
                EXPECT_TRUE(bandHeight == 15 || bandHeight == 16) << bandHeight;
            }
            expectedTop = band.bottom;
        }
        EXPECT_EQ(height, expectedTop);
    }
}

TEST(BackdropLayout, GradientRunsFromDarkToLightBlue) {
    EXPECT_EQ(0, gradientColour(0).red);
    EXPECT_EQ(127, gradientColour(0).blue);
    EXPECT_EQ(126, gradientColour(63).green);
    EXPECT_EQ(253, gradientColour(63).blue);
}

TEST(BackdropLayout, TitleRowsFillTheHeightAndAlwaysEnd) {
    struct Case {
        const char* label;
        int height, textHeight, rows;
    };
    const Case cases[] = {
        {"48-pixel font on 768", 768, 48, 16},
        {"a partial last row", 770, 48, 17},
        {"taller than the desktop", 30, 48, 1},
        {"unmeasured height 0", 768, 0, 1},
        {"negative height", 768, -5, 1},
        {"no desktop", 0, 48, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.rows, titleRowCount(c.height, c.textHeight)) << c.label;
    EXPECT_EQ(512 - 150, titleRowX(1024, 301));
    EXPECT_EQ(513 - 150, titleRowX(1027, 301));
}

TEST(BusyLayout, AreaAndLetterCentresOnA1024By768Desktop) {
    AnimationArea area = animationArea(0, 0, 1024, 768);
    EXPECT_EQ(256, area.left);
    EXPECT_EQ(192, area.top);
    EXPECT_EQ(768, area.right);
    EXPECT_EQ(576, area.bottom);
    const int dx = area.right - area.left, dy = area.bottom - area.top;
    const Point expected[] = {{448, 192}, {375, 304}, {214, 332}, {84, 254},
                              {84, 130},  {214, 52},  {375, 80}};
    for (int i = 0; i < 7; ++i) {
        Point p = letterCentre(0, i, 7, dx, dy);
        EXPECT_EQ(expected[i].x, p.x) << "Working"[i];
        EXPECT_EQ(expected[i].y, p.y) << "Working"[i];
    }
}

TEST(BusyLayout, FramesPerWaitAndTheTurningStep) {
    struct Case {
        int durationMs, frames;
    };
    for (Case c : {Case{0, 0}, Case{-5, 0}, Case{150, 2}, Case{1000, 10}, Case{6000, 60},
                   Case{2000, 20}, Case{8000, 80}, Case{1, 1}}) {
        EXPECT_EQ(c.frames, busyFrameCount(c.durationMs)) << c.durationMs;
    }
    EXPECT_EQ(0, nextBusyFrame(35));
    int frame = 0;
    for (int i = 0; i < busyFrameCount(6000); ++i) frame = nextBusyFrame(frame);
    EXPECT_EQ(24, frame);
}

TEST(BusyLayout, EachFrameSleepsWhatIsLeftOfItsTimeFromTheStart) {
    struct Case {
        const char* label;
        int frame;
        int64_t elapsedMs;
        int32_t sleepMs;
    };
    const Case cases[] = {
        {"first frame, drawn at once", 0, 0, 100},
        {"first frame, drawing took 3 ms", 0, 3, 97},
        {"tenth frame on time", 9, 900, 100},
        {"tenth frame after 9 ms of drawing in all", 9, 909, 91},
        {"exactly at its end", 9, 1000, 0},
        {"late", 9, 1250, 0},
        {"ahead (a short sleep before) sleeps one frame only", 9, 850, 100},
        {"last frame of a 10 s wait", 99, 9998, 2},
        {"long after a start far back", 79, 8000000000LL, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.sleepMs, busyFrameSleep(c.frame, c.elapsedMs)) << c.label;
    }
    // Frames drawn in no time and woken on time end the wait at exactly its
    // length; drawing never lengthens it while a frame takes less than 100 ms.
    for (int64_t drawMs : {0, 7, 99}) {
        int64_t clock = 0;
        for (int n = 0; n < busyFrameCount(8000); ++n) {
            clock += drawMs;
            clock += busyFrameSleep(n, clock);
        }
        EXPECT_EQ(8000, clock) << drawMs << " ms of drawing a frame";
    }
}

TEST(ProgressText, PercentageLineIsWrittenUnclamped) {
    char line[64];
    struct Case {
        int percent;
        const char* text;
    };
    for (Case c : {Case{42, "Percent Complete: 42%"}, Case{100, "Percent Complete: 100%"},
                   Case{150, "Percent Complete: 150%"}, Case{-1, "Percent Complete: -1%"}}) {
        ASSERT_TRUE(formatPercentLine(line, sizeof line, c.percent));
        EXPECT_STREQ(c.text, line);
    }
    char tiny[8];
    EXPECT_FALSE(formatPercentLine(tiny, sizeof tiny, 5));
}

}  // namespace
