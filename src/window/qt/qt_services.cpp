#include "window/qt/qt_services.h"

#include "window/time_stamp.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QUrl>

namespace treadle::qt {

std::string MakerPageFor(const QString& applicationDir, const std::string& built, bool builtIsDefault,
                         const QString& installedGuide) {
    if (!builtIsDefault || applicationDir.isEmpty()) {
        return built;
    }
    const QFileInfo installed(QDir(applicationDir).filePath(installedGuide));
    if (!installed.isFile()) {
        return built;
    }
    return QUrl::fromLocalFile(installed.canonicalFilePath()).toString().toStdString();
}

std::string GuideInLanguage(const std::string& page, Language language) {
    const QUrl url(QString::fromStdString(page));
    if (!url.isLocalFile()) {
        return page;
    }
    const QFileInfo english(url.toLocalFile());
    if (english.fileName() != QLatin1String(GuideFileName(Language::English))) {
        return page;
    }
    const QFileInfo translated(english.dir().filePath(QString::fromLatin1(GuideFileName(language))));
    if (!translated.isFile()) {
        return page;
    }
    return QUrl::fromLocalFile(translated.absoluteFilePath()).toString().toStdString();
}

QString WithoutTimeZone(const QString& format) {
    QString out;
    bool quoted = false;
    bool removedHere = false;  // a zone field was just dropped: blanks next to it go too
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && c == u't') {
            qsizetype end = i;
            while (end < format.size() && format[end] == u't') {
                ++end;
            }
            // Some locales bracket the zone ("[t]"): the brackets go with it.
            const QChar after = end < format.size() ? format[end] : QChar();
            if ((out.endsWith(u'[') && after == u']') || (out.endsWith(u'(') && after == u')')) {
                out.chop(1);
                ++end;
            }
            while (out.endsWith(u' ')) {
                out.chop(1);
            }
            removedHere = true;
            i = end - 1;
            continue;
        } else if (removedHere && c == u' ') {
            continue;
        }
        if (removedHere && !out.isEmpty()) {
            out += u' ';  // keep the fields on either side of the zone apart
        }
        removedHere = false;
        out += c;
    }
    return out.trimmed();
}

QString TimeStampFormat(const QLocale& locale) {
    return locale.dateFormat(QLocale::ShortFormat) + u' ' + WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

std::string TimeStampTextAt(const QLocale& locale, const QDateTime& when) {
    if (const RegionalPatterns* patterns = RegionalPatternsFor(locale.name().toStdString())) {
        const QDate date = when.date();
        const QTime time = when.time();
        return LogTimeStamp(*patterns,
                            {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()});
    }
    return locale.toString(when, TimeStampFormat(locale)).toStdString();
}

QtClock::QtClock(QLocale locale) : locale_(std::move(locale)) {}

std::string QtClock::TimeStampText() { return TimeStampTextAt(locale_, QDateTime::currentDateTime()); }

void QtSleeper::Sleep(int milliseconds) {
    if (milliseconds > 0) {
        pause_(static_cast<unsigned long>(milliseconds));
    }
}

MessageAnswer QtMessageBoxes::Show(const std::string& text, const std::string& title, MessageButtons buttons) {
    QMessageBox box(parent_);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    QPushButton* cancel = nullptr;
    if (buttons == MessageButtons::OkCancel) {
        cancel = box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    if (box.clickedButton() == ok) {
        return MessageAnswer::Ok;
    }
    if (cancel != nullptr && box.clickedButton() == cancel) {
        return MessageAnswer::Cancel;
    }
    return MessageAnswer::Closed;
}

bool QtUrlOpener::Open(const std::string& url) {
    const QUrl address(QString::fromStdString(url));
    return address.isValid() && !address.isEmpty() && QDesktopServices::openUrl(address);
}

std::optional<std::string> QtFileDialogs::Ask(FileDialogKind kind, const std::string& title,
                                              const std::string& filterName, const std::string& extension) {
    const QString caption = QString::fromStdString(title);
    const QString filter = QString::fromStdString(filterName) + QStringLiteral(" (*") +
                           QString::fromStdString(extension) + QStringLiteral(")");
    const QString path = kind == FileDialogKind::Save ? QFileDialog::getSaveFileName(parent_, caption, {}, filter)
                                                      : QFileDialog::getOpenFileName(parent_, caption, {}, filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(path).toStdString();
}

}  // namespace treadle::qt
