// The window's surroundings on Qt: the regional clock, a blocking pause, modal message boxes
// and the desktop's web browser.
#pragma once

#include "text/catalogue.h"
#include "window/services.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QThread>

class QWidget;

namespace treadle::qt {

// A date-time format with every time-zone field ('t' runs outside quotes) removed, and the
// blanks the removal leaves at its place or at either end trimmed.
QString WithoutTimeZone(const QString& format);

// The log's time stamp format of a locale: short date, one blank, long time without zone.
QString TimeStampFormat(const QLocale& locale);

// The page the maker's label opens. `built` is the address the build set; when the build kept
// its default (the user guide in the source tree) and the program runs from an installation,
// whose guide lies at `installedGuide` relative to the program's folder, the installed copy
// is opened instead, so an installed program does not depend on the tree it was built from.
std::string MakerPageFor(const QString& applicationDir, const std::string& built, bool builtIsDefault,
                         const QString& installedGuide);

// The guide in the window's language: when `page` is the local English guide and the guide of
// `language` lies beside it, that one; otherwise `page` itself.
std::string GuideInLanguage(const std::string& page, Language language);

// The log's time stamp of a moment in a locale: the locale's patterns as Windows writes them
// where the core's table knows it, Qt's short date and long time (TimeStampFormat) elsewhere.
std::string TimeStampTextAt(const QLocale& locale, const QDateTime& when);

class QtClock final : public Clock {
  public:
    explicit QtClock(QLocale locale = QLocale::system());
    std::string TimeStampText() override;

  private:
    QLocale locale_;
};

class QtSleeper final : public Sleeper {
  public:
    // How the thread is put to sleep: QThread::msleep, or in tests a recorder.
    using Pause = void (*)(unsigned long milliseconds);
    explicit QtSleeper(Pause pause = &QThread::msleep) : pause_(pause) {}
    void Sleep(int milliseconds) override;

  private:
    Pause pause_;
};

class QtMessageBoxes final : public MessageBoxes {
  public:
    // Boxes are modal to `parent` (may be null until the window exists).
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    MessageAnswer Show(const std::string& text, const std::string& title, MessageButtons buttons) override;

  private:
    QWidget* parent_;
};

class QtUrlOpener final : public UrlOpener {
  public:
    bool Open(const std::string& url) override;
};

// Qt's file dialogs, modal to `parent`; the path comes back in the system's file-name encoding.
class QtFileDialogs final : public FileDialogs {
  public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::string> Ask(FileDialogKind kind, const std::string& title, const std::string& filterName,
                                   const std::string& extension) override;

  private:
    QWidget* parent_;
};

}  // namespace treadle::qt
