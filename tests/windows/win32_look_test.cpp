#include "window/win32/win32_look.h"

#include <gtest/gtest.h>

#include <string>

namespace treadle::win32 {
namespace {

TEST(Win32Look, StoredColoursBecomeColorRefs) {
    struct Case {
        std::uint32_t stored;
        COLORREF shown;
    };
    const Case cases[] = {
        {colors::kPressed, RGB(0, 255, 0)},
        {colors::kStatusGreen, RGB(0, 128, 0)},
        {colors::kWhite, RGB(255, 255, 255)},
        {colors::Rgb(0x12, 0x34, 0x56), RGB(0x12, 0x34, 0x56)},
        {0x00000000, RGB(0, 0, 0)},
        {colors::kButtonFace, ::GetSysColor(COLOR_BTNFACE)},
        {colors::kHighlightText, ::GetSysColor(COLOR_HIGHLIGHTTEXT)},
        {colors::kWindowText, ::GetSysColor(COLOR_WINDOWTEXT)},
        {colors::kWindow, ::GetSysColor(COLOR_WINDOW)},
        {colors::System(18), ::GetSysColor(COLOR_BTNTEXT)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToColorRef(c.stored), c.shown) << std::hex << c.stored;
    }
    // A system colour is the system's, not its index read as red.
    EXPECT_NE(ToColorRef(colors::kWindow), RGB(5, 0, 0x80));
}

TEST(Win32Look, AGraphicalButtonShowsItsBackColourAStandardOneTheButtonFace) {
    Control button;
    button.kind = ControlKind::Button;
    button.InitState("Ctrl", colors::kPressed, colors::kWindowText, true, true, 0);
    EXPECT_EQ(ButtonFace(button), ::GetSysColor(COLOR_BTNFACE));
    button.graphical = true;
    EXPECT_EQ(ButtonFace(button), RGB(0, 255, 0));
    button.SetBackColor(colors::kButtonFace);
    EXPECT_EQ(ButtonFace(button), ::GetSysColor(COLOR_BTNFACE));
}

TEST(Win32Look, TwipsBecomePixelsAtTheWindowsDpi) {
    struct Case {
        int twips;
        UINT dpi;
        int pixels;
    };
    const Case cases[] = {
        {0, 96, 0},       {15, 96, 1},     {7, 96, 0},         {8, 96, 1},  // 8/15 rounds up
        {12135, 96, 809}, {5415, 96, 361}, {12135, 144, 1214}, {12135, 192, 1618},
        {500, 120, 42},   {650, 144, 65},  {-60, 96, -4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
    }
}

TEST(Win32Look, APlaceRoundsEachSideSoTouchingKeysStillTouch) {
    // Two keys of the top row: 1050 + 500 ends where the next one starts at 1570 less a gap.
    for (UINT dpi : {96u, 120u, 144u, 192u}) {
        const RECT f1 = ToPixels({1050, 200, 500, 500}, dpi);
        EXPECT_EQ(f1.left, TwipsToPixels(1050, dpi));
        EXPECT_EQ(f1.top, TwipsToPixels(200, dpi));
        EXPECT_EQ(f1.right - f1.left, TwipsToPixels(500, dpi));
        EXPECT_EQ(f1.bottom - f1.top, TwipsToPixels(500, dpi));
        const RECT ctrl = ToPixels({120, 2960, 650, 500}, dpi);
        const RECT win = ToPixels({790, 2960, 650, 500}, dpi);
        EXPECT_LE(ctrl.right, win.left) << dpi;
    }
}

TEST(Win32Look, FontsKeepTheDesignsFaceAndScaleWithTheDpi) {
    struct Case {
        FontSpec font;
        UINT dpi;
        LONG height;
        LONG weight;
    };
    const Case cases[] = {
        {{"微软雅黑", 18, false}, 96, -24, FW_NORMAL}, {{"宋体", 10.5, false}, 96, -14, FW_NORMAL},
        {{"宋体", 10.5, false}, 144, -21, FW_NORMAL},  {{"Microsoft YaHei UI", 6.75, false}, 96, -9, FW_NORMAL},
        {{"微软雅黑", 14.25, true}, 96, -19, FW_BOLD}, {{"微软雅黑", 14.25, true}, 192, -38, FW_BOLD},
        {{"微软雅黑", 0.1, false}, 96, -1, FW_NORMAL},  // never a height of 0, which means "any"
    };
    for (const Case& c : cases) {
        const LOGFONTW f = ToLogFont(c.font, c.dpi);
        EXPECT_EQ(f.lfHeight, c.height) << c.font.face << " " << c.font.points << " at " << c.dpi;
        EXPECT_EQ(f.lfWeight, c.weight) << c.font.face;
        EXPECT_EQ(Narrow(f.lfFaceName), c.font.face);
        EXPECT_EQ(f.lfCharSet, DEFAULT_CHARSET);
    }
}

TEST(Win32Look, AFaceNameTooLongForTheFontIsCutNotOverrun) {
    const std::string face(40, 'x');
    const LOGFONTW f = ToLogFont({face, 9, false}, 96);
    EXPECT_EQ(std::wstring(f.lfFaceName), std::wstring(LF_FACESIZE - 1, L'x'));
}

}  // namespace
}  // namespace treadle::win32
