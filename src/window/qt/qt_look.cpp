#include "window/qt/qt_look.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace treadle::qt {
namespace {

// The system colours of a default Windows desktop, by index.
constexpr std::array<std::uint32_t, 31> kSystemRgb{
    0xC8C8C8,  // 0 scroll bar
    0x000000,  // 1 desktop
    0x99B4D1,  // 2 active caption
    0xBFCDDB,  // 3 inactive caption
    0xF0F0F0,  // 4 menu
    0xFFFFFF,  // 5 window
    0x646464,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0x000000,  // 9 caption text
    0xB4B4B4,  // 10 active border
    0xF4F7FC,  // 11 inactive border
    0xABABAB,  // 12 application workspace
    0x0078D7,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xF0F0F0,  // 15 button face
    0xA0A0A0,  // 16 button shadow
    0x6D6D6D,  // 17 grey text
    0x000000,  // 18 button text
    0x434E54,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x696969,  // 21 3-D dark shadow
    0xE3E3E3,  // 22 3-D light
    0x000000,  // 23 tooltip text
    0xFFFFE1,  // 24 tooltip
    0x000000,  // 25 (unused)
    0x0066CC,  // 26 hot tracking
    0xB9D1EA,  // 27 gradient active caption
    0xD7E4F2,  // 28 gradient inactive caption
    0x3399FF,  // 29 menu highlight
    0xF0F0F0,  // 30 menu bar
};

}  // namespace

QColor ToQColor(std::uint32_t color) {
    if (colors::IsSystem(color)) {
        const std::uint32_t index = color & 0xFFu;
        const std::uint32_t rgb = index < kSystemRgb.size() ? kSystemRgb[index] : 0x000000;
        return QColor::fromRgb(static_cast<QRgb>(rgb));
    }
    return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                  static_cast<int>((color >> 16) & 0xFFu));
}

QStringList FontFamilies(const std::string& face) {
    const QString name = QString::fromStdString(face);
    static const QStringList kSansChain{"Noto Sans CJK SC", "WenQuanYi Micro Hei", "Droid Sans Fallback"};
    if (name == u"微软雅黑" || name.compare("Microsoft YaHei", Qt::CaseInsensitive) == 0 ||
        name.compare("Microsoft YaHei UI", Qt::CaseInsensitive) == 0) {
        QStringList families{name};
        for (const char* alias : {"微软雅黑", "Microsoft YaHei", "Microsoft YaHei UI"}) {
            if (!families.contains(QString::fromUtf8(alias))) {
                families << QString::fromUtf8(alias);
            }
        }
        return families + kSansChain;
    }
    if (name == u"宋体" || name.compare("SimSun", Qt::CaseInsensitive) == 0) {
        QStringList families{name};
        families << (name == u"宋体" ? QStringLiteral("SimSun") : QString::fromUtf8("宋体"));
        // Song is a serif face, but where it is missing a sans one stands in: a serif fallback
        // would set the Latin captions of the English view apart from all the others.
        return families + kSansChain;
    }
    QStringList families;
    if (!name.isEmpty()) {
        families << name;
    }
    return families + kSansChain;
}

QFont ToQFont(const FontSpec& design) {
    QFont font;
    font.setFamilies(FontFamilies(design.face));
    // 72 points to the inch, 96 pixels to the inch in the design.
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(design.points * 96.0 / 72.0))));
    font.setBold(design.bold);
    return font;
}

int TwipsToPixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

QRect ToPixels(const Twips& place) {
    return {TwipsToPixels(place.left), TwipsToPixels(place.top), TwipsToPixels(place.width),
            TwipsToPixels(place.height)};
}

QString ButtonStyleSheet(const QColor& face, const QColor& text) {
    const QString f = face.name();
    return QStringLiteral(
               "QPushButton { background-color: %1; color: %2; padding: 0px; margin: 0px;"
               " border-style: solid; border-width: 1px; border-radius: 0px;"
               " border-color: #d9d9d9 #6d6d6d #6d6d6d #d9d9d9; }"
               "QPushButton:pressed { border-color: #6d6d6d #d9d9d9 #d9d9d9 #6d6d6d; }"
               "QPushButton:disabled { color: #8c8c8c; }")
        .arg(f, text.name());
}

QString FocusMarkStyleSheet() {
    return QStringLiteral("QPushButton:focus { border-style: dotted; border-width: 2px; border-color: #000000; }");
}

QString GroupBoxStyleSheet(const QColor& back, const QColor& text, int captionHeight) {
    return QStringLiteral(
               "QGroupBox { background-color: %1; color: %2; border: 1px solid #a0a0a0; border-radius: 0px;"
               " margin-top: %3px; padding: 0px; }"
               "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
               " padding: 0px 1px; background-color: %1; }")
        .arg(back.name(), text.name())
        .arg(captionHeight / 2);
}

}  // namespace treadle::qt
