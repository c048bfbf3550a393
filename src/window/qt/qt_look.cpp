#include "window/qt/qt_look.h"

#include "window/render.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace treadle::qt {

QColor ToQColor(std::uint32_t color) { return QColor::fromRgb(static_cast<QRgb>(ShownRgb(color))); }

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
