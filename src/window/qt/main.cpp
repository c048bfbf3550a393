// treadle: the window for programming the foot switch.
#include "device/user_file.h"
#include "window/command_line.h"
#include "window/qt/display.h"
#include "window/qt/qt_services.h"
#include "window/qt/window_qt.h"
#include "window/startup.h"
#include "window/time_stamp.h"

#include <QApplication>
#include <QStyleFactory>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

std::string g_program = "treadle";
bool g_openingDisplay = false;

// Qt ends the program with a fatal message when the display it was told to use cannot be
// opened; say plainly what happened instead of aborting.
void MessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg && g_openingDisplay) {
        // Qt's own text here suggests reinstalling, which would not help.
        std::fputs(treadle::qt::NoDisplayText(g_program).c_str(), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (type == QtFatalMsg) {
        std::abort();
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A capture FIFO whose reader leaves makes a write fail, which the window reports, rather
    // than ending the window.
    treadle::IgnoreBrokenPipeSignal();
    if (argc > 0 && argv[0] != nullptr && *argv[0] != '\0') {
        g_program = argv[0];
    }
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const treadle::StartPlan plan = treadle::PlanStart(arguments, std::getenv(treadle::kLanguageVariable), g_program);
    std::cout << plan.out;
    std::cerr << plan.err;
    if (plan.stop) {
        return plan.status;
    }
    const treadle::CommandLine& options = plan.options;
    const treadle::WindowOptions& windowOptions = plan.window;
    if (!treadle::qt::DisplayAvailable()) {
        std::cerr << treadle::qt::NoDisplayText(g_program);
        return 1;
    }

    qInstallMessageHandler(MessageHandler);
    g_openingDisplay = true;
    QApplication app(argc, argv);
    g_openingDisplay = false;
    QApplication::setApplicationName(QStringLiteral("treadle"));
    QApplication::setApplicationVersion(QString::fromLatin1(TREADLE_VERSION));
    // Ties the window to its desktop entry (the Wayland app id), so the desktop shows its icon.
    QApplication::setDesktopFileName(QStringLiteral("org.example.treadle"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    treadle::qt::QtSleeper sleeper;
    treadle::qt::QtMessageBoxes boxes;
    const std::unique_ptr<treadle::HidPlatform> platform =
        treadle::StartPlatform(options, sleeper, boxes, std::cerr, g_program);
    if (platform == nullptr) {
        return treadle::kBadStartStatus;
    }

    // The log's dates in the window's language, in the user's own form where it is that language.
    treadle::qt::QtClock clock(QLocale(
        QString::fromStdString(treadle::LogLocaleFor(windowOptions.language, QLocale::system().name().toStdString()))));
    treadle::qt::QtUrlOpener url;
    treadle::qt::QtFileDialogs files;
    int status = 0;
    {
        treadle::qt::MainWindow window(treadle::WindowServices{*platform, clock, sleeper, boxes, url, &files},
                                       windowOptions);
        window.Model().MakerPage = treadle::qt::GuideInLanguage(
            treadle::qt::MakerPageFor(QCoreApplication::applicationDirPath(), window.Model().MakerPage,
                                      TREADLE_GUIDE_IS_DEFAULT, QStringLiteral(TREADLE_INSTALLED_GUIDE)),
            windowOptions.language);
        boxes.SetParent(&window);
        files.SetParent(&window);
        window.show();
        status = QApplication::exec();
        boxes.SetParent(nullptr);
        files.SetParent(nullptr);
    }
    return status;
}
