// How the window model's colours, fonts and places become Qt's.
#pragma once

#include "window/control.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace treadle::qt {

// A stored colour (0x00BBGGRR, or 0x800000nn for system colour nn) as the colour it shows.
QColor ToQColor(std::uint32_t color);

// The families tried in turn for a face, so CJK captions render where the design's faces
// are missing.
QStringList FontFamilies(const std::string& face);

// The font of a control. Point sizes are those of a 96 dpi design, so they are turned into
// logical pixels here rather than left to the screen's dpi.
QFont ToQFont(const FontSpec& font);

// Twips at 96 dpi to logical pixels.
int TwipsToPixels(int twips);
QRect ToPixels(const Twips& place);

// A push button's style sheet: the given face colour, flat padding so short keys hold their
// captions, a raised border and a sunken one while pressed.
QString ButtonStyleSheet(const QColor& face, const QColor& text);

// What a focused push button adds to its style sheet: a dotted black border, the focus mark.
QString FocusMarkStyleSheet();

// A captioned frame's style sheet: an etched-grey border whose top line runs through the
// middle of the caption, as the design's frames draw it.
QString GroupBoxStyleSheet(const QColor& back, const QColor& text, int captionHeight);

}  // namespace treadle::qt
