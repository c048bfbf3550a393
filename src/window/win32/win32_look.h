// How the window model's colours, fonts and places become Win32's, at a given DPI.
#pragma once

#include "window/control.h"

#include <cstdint>
#include <string>
#include <windows.h>

namespace treadle::win32 {

// The design's pixels per inch: twips and points turn into pixels at this rate at 100 %.
constexpr UINT kDesignDpi = 96;

// A stored colour (0x00BBGGRR, or 0x800000nn for system colour nn) as the colour it shows;
// system colours are the system's own (black for an index it does not know).
COLORREF ToColorRef(std::uint32_t color);

// The face a button paints: its BackColor for a graphical one, the button face otherwise,
// as a standard button ignores BackColor.
COLORREF ButtonFace(const Control& control);

// Twips to pixels at `dpi` (1440 twips to the inch), rounded to the nearest.
int TwipsToPixels(int twips, UINT dpi);
// A place in twips as a rectangle in pixels; each side is rounded on its own, so
// neighbours that touch in twips touch in pixels.
RECT ToPixels(const Twips& place, UINT dpi);

// The font of a control at `dpi`: the design's face (the system substitutes a missing one),
// its point size as a character height, bold or normal.
LOGFONTW ToLogFont(const FontSpec& font, UINT dpi);

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace treadle::win32
