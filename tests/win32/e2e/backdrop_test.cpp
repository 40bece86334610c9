// The backdrop behind the whole run, as it stands on the screen while the
// agreement waits: its caption and class, a gradient of 64 blue bands and
// white title rows one text height apart, both laid out on the desktop's
// size rather than the window's, which is smaller by its caption and frame.
#include <algorithm>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "e2e/setup_driving.h"
#include "scripted_user/deadline.h"

namespace e2e {
namespace {

using Backdrop = ScriptedRun;

const int BANDS = 64;
const scripted_user::Rgb WHITE = {255, 255, 255};

bool operator==(const scripted_user::Rgb& a, const scripted_user::Rgb& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

std::string describe(const scripted_user::Rgb& colour) {
    return std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
           std::to_string(colour.blue);
}

RECT desktopRect() {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    return desktop;
}

// Where the backdrop's client area lies on the screen, as the window
// itself reports it.
struct ClientArea {
    POINT origin;  // client (0, 0) in screen coordinates
    int width;
    int height;
};

ClientArea clientArea(HWND window) {
    ClientArea area = {{0, 0}, 0, 0};
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    ClientToScreen(window, &area.origin);
    area.width = client.right;
    area.height = client.bottom;
    return area;
}

class Screen {
public:
    bool capture() { return scripted_user::captureScreen(&capture_); }
    // The colour at a client point of `area`; false off the screen or off
    // the client area.
    bool at(const ClientArea& area, int x, int y, scripted_user::Rgb* colour) const {
        if (x < 0 || y < 0 || x >= area.width || y >= area.height) return false;
        int sx = area.origin.x + x, sy = area.origin.y + y;
        if (sx < 0 || sy < 0 || sx >= capture_.width || sy >= capture_.height) return false;
        const uint8_t* p = &capture_.rgb[(static_cast<size_t>(sy) * capture_.width + sx) * 3];
        *colour = {p[0], p[1], p[2]};
        return true;
    }

private:
    scripted_user::Capture capture_;
};

// Band k of the desktop's height H covers client rows H*k/64 up to
// H*(k+1)/64 - 1 (12k to 12k+11 on a 768-row desktop).
int bandTop(int k, int desktopHeight) { return desktopHeight * k / BANDS; }

scripted_user::Rgb bandColour(int k) {
    return {static_cast<uint8_t>(2 * k), static_cast<uint8_t>(2 * k),
            static_cast<uint8_t>(127 + 2 * k)};
}

struct BandCheck {
    std::vector<int> checked;          // bands whose first and last rows are on screen
    std::vector<std::string> wrong;    // what differs, one line per pixel
};

// Compares the first and last row of every band at column `x`, which lies
// clear of the title text and of every dialog. A band with a row off the
// screen or off the client area is left out.
BandCheck checkBands(const Screen& screen, const ClientArea& area, int x, int desktopHeight) {
    BandCheck result;
    for (int k = 0; k < BANDS; ++k) {
        int rows[] = {bandTop(k, desktopHeight), bandTop(k + 1, desktopHeight) - 1};
        scripted_user::Rgb first, last;
        if (!screen.at(area, x, rows[0], &first) || !screen.at(area, x, rows[1], &last)) continue;
        result.checked.push_back(k);
        for (const scripted_user::Rgb& seen : {first, last}) {
            if (seen == bandColour(k)) continue;
            result.wrong.push_back("band " + std::to_string(k) + " (rows " +
                                   std::to_string(rows[0]) + " to " + std::to_string(rows[1]) +
                                   "): " + describe(seen) + " instead of " +
                                   describe(bandColour(k)));
        }
    }
    return result;
}

// Starts setup and waits for the agreement, whose modal loop keeps the
// backdrop painted; the backdrop then.
HWND openBackdrop(scripted_user::ScriptedUser& user, HWND* agreement) {
    if (!startSetup(user, buildPath(TW_SETUP_EXE))) return nullptr;
    *agreement = user.waitForWindow(AGREEMENT_CAPTION, WINDOW_TIMEOUT_MS);
    if (!*agreement || !scripted_user::waitForControl(*agreement, AGREEMENT_TEXT_ID,
                                                      WINDOW_TIMEOUT_MS)) {
        return nullptr;
    }
    return user.waitForWindow(BACKDROP_CAPTION, WINDOW_TIMEOUT_MS);
}

// Moves and stretches the backdrop so that its client area covers the
// whole screen, every row of the desktop-sized layout on it. The window's
// own size is left to grow past the screen: SWP_NOSENDCHANGING keeps the
// system from holding it to the screen's tracking limit.
bool revealWholeLayout(HWND backdrop, const RECT& desktop) {
    RECT window;
    if (!GetWindowRect(backdrop, &window)) return false;
    ClientArea area = clientArea(backdrop);
    int frameWidth = (window.right - window.left) - area.width;
    int frameHeight = (window.bottom - window.top) - area.height;
    return SetWindowPos(backdrop, nullptr, window.left - (area.origin.x - desktop.left),
                        window.top - (area.origin.y - desktop.top),
                        desktop.right - desktop.left + frameWidth,
                        desktop.bottom - desktop.top + frameHeight,
                        SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING) != 0;
}

// A column of client coordinates clear of the centred title text and of
// the agreement, which stands at the left: seven eighths across.
int sampleColumn(const RECT& desktop) { return (desktop.right - desktop.left) * 7 / 8; }

TEST_F(Backdrop, ShowsItsCaptionAcrossTheWholeScreen) {
    HWND agreement = nullptr;
    HWND backdrop = openBackdrop(user, &agreement);
    ASSERT_NE(backdrop, nullptr);
    EXPECT_EQ(scripted_user::windowClass(backdrop), "install");
    EXPECT_EQ(scripted_user::windowCaption(backdrop), BACKDROP_CAPTION);
    EXPECT_EQ(GetWindow(agreement, GW_OWNER), backdrop) << "the agreement belongs to the backdrop";
    RECT window;
    ASSERT_TRUE(GetWindowRect(backdrop, &window));
    RECT desktop = desktopRect();
    EXPECT_EQ(window.left, desktop.left);
    EXPECT_EQ(window.top, desktop.top);
    EXPECT_EQ(window.right, desktop.right);
    EXPECT_EQ(window.bottom, desktop.bottom);
    EXPECT_TRUE(user.screenshot("backdrop-with-agreement"));
}

TEST_F(Backdrop, EveryBandHasItsColourFromItsFirstRowToItsLast) {
    HWND agreement = nullptr;
    HWND backdrop = openBackdrop(user, &agreement);
    ASSERT_NE(backdrop, nullptr);
    const RECT desktop = desktopRect();
    const int height = desktop.bottom - desktop.top;
    const int x = sampleColumn(desktop);
    RECT dialog;
    ASSERT_TRUE(GetWindowRect(agreement, &dialog));
    ClientArea area = clientArea(backdrop);
    ASSERT_GT(area.origin.x + x, dialog.right) << "the sample column runs through the agreement";

    // As created: the bands whose rows are on the screen, the lowest ones
    // cut off by the caption and frame.
    BandCheck asCreated;
    scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        Screen screen;
        if (!screen.capture()) return false;
        asCreated = checkBands(screen, area, x, height);
        return asCreated.wrong.empty();
    });
    EXPECT_EQ(asCreated.wrong, std::vector<std::string>{});
    EXPECT_GE(asCreated.checked.size(), 60u);
    EXPECT_LT(asCreated.checked.size(), static_cast<size_t>(BANDS))
        << "the client area was expected to be shorter than the screen";

    // Moved and stretched: every band, painted by setup's modal loop.
    ASSERT_TRUE(revealWholeLayout(backdrop, desktop));
    area = clientArea(backdrop);
    ASSERT_GE(area.height, height);
    BandCheck revealed;
    scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        Screen screen;
        if (!screen.capture()) return false;
        revealed = checkBands(screen, area, x, height);
        return revealed.wrong.empty() && revealed.checked.size() == BANDS;
    });
    EXPECT_EQ(revealed.wrong, std::vector<std::string>{});
    EXPECT_EQ(revealed.checked.size(), static_cast<size_t>(BANDS));
    EXPECT_TRUE(user.screenshot("every-band"));
}

// The height of the title as the system measures it in the title font,
// 48-pixel bold Times New Roman: the step from one title row to the next.
// The font's ascent and descent are each rounded to whole pixels, so this
// may come out a pixel off the 48 asked for; 0 when it cannot be measured.
int titleTextHeight(const std::string& title) {
    LOGFONTA font = {};
    font.lfHeight = 48;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    lstrcpynA(font.lfFaceName, "Times New Roman", LF_FACESIZE);
    HFONT handle = CreateFontIndirectA(&font);
    HDC dc = CreateCompatibleDC(nullptr);
    SIZE text = {0, 0};
    if (handle && dc) {
        HGDIOBJ previous = SelectObject(dc, handle);
        GetTextExtentPoint32A(dc, title.c_str(), static_cast<int>(title.size()), &text);
        SelectObject(dc, previous);
    }
    if (dc) DeleteDC(dc);
    if (handle) DeleteObject(handle);
    return text.cy;
}

// Rows of white in the title's columns: the first and last white pixel
// row of each text row, relative to the row's top; -1 when none.
struct TitleRow {
    int firstWhite = -1;
    int lastWhite = -1;
};

TEST_F(Backdrop, TitleRowsStandOneTextHeightApartDownTheWholeScreen) {
    HWND agreement = nullptr;
    HWND backdrop = openBackdrop(user, &agreement);
    ASSERT_NE(backdrop, nullptr);
    const RECT desktop = desktopRect();
    const int width = desktop.right - desktop.left;
    const int height = desktop.bottom - desktop.top;
    ASSERT_TRUE(revealWholeLayout(backdrop, desktop));
    const ClientArea area = clientArea(backdrop);
    // The middle columns, from the centre (or the agreement's right edge,
    // where it reaches past the centre) to an eighth further right: the
    // title is centred, so its text runs through them.
    RECT dialog;
    ASSERT_TRUE(GetWindowRect(agreement, &dialog));
    const int left = std::max(width / 2, static_cast<int>(dialog.right - area.origin.x));
    const int right = width / 2 + width / 8;
    ASSERT_LT(left, right);

    const int rowHeight = titleTextHeight(BACKDROP_CAPTION);
    ASSERT_GE(rowHeight, 44);
    ASSERT_LE(rowHeight, 52);
    user.transcript().add("title row height", std::to_string(rowHeight));
    const int rows = (height + rowHeight - 1) / rowHeight;
    // The same glyphs at the same place within every row: the rows start
    // exactly one text height apart, down to the screen's foot, where the
    // last row may be cut off.
    auto evenlySpaced = [&](const std::vector<TitleRow>& found) {
        for (int r = 0; r < rows; ++r) {
            if (found[r].firstWhite < 0 || found[r].firstWhite != found[0].firstWhite) return false;
            if (r * rowHeight + found[0].lastWhite < height &&
                found[r].lastWhite != found[0].lastWhite) {
                return false;
            }
        }
        return true;
    };
    std::vector<TitleRow> found;
    // The move repaints the backdrop band by band, then the text: what is
    // on the screen counts once it has settled.
    scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        Screen screen;
        if (!screen.capture()) return false;
        found.assign(rows, TitleRow());
        for (int y = 0; y < height; ++y) {
            for (int x = left; x < right; ++x) {
                scripted_user::Rgb colour;
                if (!screen.at(area, x, y, &colour) || !(colour == WHITE)) continue;
                TitleRow& row = found[y / rowHeight];
                int offset = y % rowHeight;
                if (row.firstWhite < 0) row.firstWhite = offset;
                row.lastWhite = offset;
                break;
            }
        }
        return evenlySpaced(found);
    });
    ASSERT_EQ(found.size(), static_cast<size_t>(rows)) << "no capture of the screen";
    ASSERT_GE(found[0].firstWhite, 0) << "no white text in the first row";
    for (int r = 0; r < rows; ++r) {
        SCOPED_TRACE("title row " + std::to_string(r) + " at y = " +
                     std::to_string(r * rowHeight));
        EXPECT_EQ(found[r].firstWhite, found[0].firstWhite);
        if (r * rowHeight + found[0].lastWhite < height) {
            EXPECT_EQ(found[r].lastWhite, found[0].lastWhite);
        }
    }
    EXPECT_TRUE(user.screenshot("title-rows"));
}

}  // namespace
}  // namespace e2e
