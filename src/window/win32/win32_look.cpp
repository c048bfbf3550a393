#include "window/win32/win32_look.h"

#include "text/utf16.h"
#include "window/render.h"

#include <algorithm>
#include <cmath>

namespace treadle::win32 {

COLORREF ToColorRef(std::uint32_t color) {
    if (colors::IsSystem(color)) {
        const int index = static_cast<int>(color & 0xFFu);
        // GetSysColor answers 0 for an index it does not know: black, as for a bad colour.
        return ::GetSysColor(index);
    }
    return RGB(color & 0xFFu, (color >> 8) & 0xFFu, (color >> 16) & 0xFFu);
}

COLORREF ButtonFace(const Control& control) { return ToColorRef(ShownBackColor(control)); }

int TwipsToPixels(int twips, UINT dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

RECT ToPixels(const Twips& place, UINT dpi) {
    const int left = TwipsToPixels(place.left, dpi);
    const int top = TwipsToPixels(place.top, dpi);
    // Width and height rounded alone, as the other front end does, so a size in twips gives
    // the same size in pixels wherever the control sits.
    return RECT{left, top, left + TwipsToPixels(place.width, dpi), top + TwipsToPixels(place.height, dpi)};
}

LOGFONTW ToLogFont(const FontSpec& font, UINT dpi) {
    LOGFONTW f{};
    // A negative height asks for the character height: points at 72 to the inch.
    f.lfHeight = -std::max(1L, std::lround(font.points * dpi / 72.0));
    f.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    f.lfCharSet = DEFAULT_CHARSET;
    f.lfOutPrecision = OUT_DEFAULT_PRECIS;
    f.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    f.lfQuality = CLEARTYPE_QUALITY;
    f.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = Wide(font.face);
    // LF_FACESIZE holds the terminating zero; a longer name is cut, never overrun.
    const size_t length = std::min(face.size(), static_cast<size_t>(LF_FACESIZE - 1));
    std::copy_n(face.begin(), length, f.lfFaceName);
    f.lfFaceName[length] = L'\0';
    return f;
}

std::wstring Wide(const std::string& text) {
    const std::u16string utf16 = Utf8ToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(const std::wstring& text) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace treadle::win32
