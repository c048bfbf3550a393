// The Qt window on the real foot switch, driven as a user would, for the kernel test: it
// waits for the window to connect, clicks left Ctrl and then F1, has the foot switch
// unplugged and plugged in again by the commands it is given, and prints one line per step:
//   ok|fail STEP: what it saw
// and the log lines the window wrote. Exit status 0 when every step held.
//
//   treadle-window-probe UNPLUG_COMMAND REPLUG_COMMAND
#include "window/command_line.h"
#include "window/qt/qt_services.h"
#include "window/qt/window_qt.h"
#include "window/startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>

namespace {

// Message boxes are printed and answered OK, so that no modal box stops the probe.
class PrintedBoxes final : public treadle::MessageBoxes {
  public:
    treadle::MessageAnswer Show(const std::string& text, const std::string&, treadle::MessageButtons) override {
        std::cout << "box: " << text << "\n";
        return treadle::MessageAnswer::Ok;
    }
};

constexpr const char* kConnected = "设备连接成功！";

class Probe {
  public:
    explicit Probe(treadle::qt::MainWindow& window) : window_(window) {}

    bool failed() const { return failed_; }

    // Processes the window's events until `condition` holds or `limitMs` passed; the time it
    // took, or -1.
    qint64 WaitFor(const std::function<bool()>& condition, int limitMs) {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > limitMs) {
                return -1;
            }
            QTest::qWait(20);
        }
        return timer.elapsed();
    }

    void Step(const std::string& name, bool ok, const std::string& seen) {
        std::cout << (ok ? "ok " : "fail ") << name << ": " << seen << "\n" << std::flush;
        failed_ = failed_ || !ok;
    }

    int LogCount() const { return static_cast<int>(window_.Model().lstResults.Items().size()); }

    void PrintLogSince(int from) const {
        const auto& items = window_.Model().lstResults.Items();
        for (size_t i = static_cast<size_t>(from); i < items.size(); ++i) {
            std::cout << "  log: " << items[i] << "\n";
        }
    }

    bool Click(treadle::Control& control) {
        QWidget* widget = window_.WidgetFor(control);
        if (widget == nullptr) {
            return false;
        }
        QTest::mouseClick(widget, Qt::LeftButton);
        QTest::qWait(100);
        return true;
    }

    treadle::Control* KeyCalled(const std::string& caption) {
        treadle::ControlFamily& keys = window_.Model().Command_key;
        for (int i = 0; i < keys.Count(); ++i) {
            if (keys[i].Text() == caption) {
                return &keys[i];
            }
        }
        return nullptr;
    }

  private:
    treadle::qt::MainWindow& window_;
    bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: treadle-window-probe UNPLUG_COMMAND REPLUG_COMMAND\n";
        return 2;
    }
    const std::string unplug = argv[1];
    const std::string replug = argv[2];
    QApplication app(argc, argv);
    treadle::qt::QtSleeper sleeper;
    PrintedBoxes boxes;
    const std::unique_ptr<treadle::HidPlatform> platform =
        treadle::StartPlatform(treadle::CommandLine{}, sleeper, boxes, std::cerr, "treadle-window-probe");
    if (platform == nullptr) {
        return 1;
    }
    treadle::qt::QtClock clock;
    treadle::qt::QtUrlOpener url;
    treadle::qt::MainWindow window(treadle::WindowServices{*platform, clock, sleeper, boxes, url}, {});
    window.show();
    Probe probe(window);
    treadle::USB& model = window.Model();
    const int tick = treadle::USB::kTimerInterval;

    // The status line under the switch choice says whether the window holds the device.
    auto connected = [&] { return model.DeviceDetected && model.Label3.Text() == kConnected; };
    qint64 ms = probe.WaitFor(connected, 20000);
    probe.Step("connect", ms >= 0,
               (ms >= 0 ? "connected after " + std::to_string(ms) + " ms" : "not connected in 20 s") + ", status " +
                   model.Label3.Text());
    probe.PrintLogSince(0);

    int mark = probe.LogCount();
    treadle::Control* f1 = probe.KeyCalled("F1");
    const bool clicked = f1 != nullptr && probe.Click(model.Command_ctrl) && probe.Click(*f1);
    probe.Step("click", clicked, clicked ? "left Ctrl, then F1" : "no F1 key or no widget");
    QTest::qWait(2 * tick);
    probe.PrintLogSince(mark);

    mark = probe.LogCount();
    const bool unplugged = std::system(unplug.c_str()) == 0;
    QElapsedTimer sinceUnplug;
    sinceUnplug.start();
    ms = probe.WaitFor([&] { return !model.DeviceDetected && model.Label3.Text() != kConnected; }, 10 * tick);
    // Two ticks, and one more for a tick the window was busy in when the unplug came.
    probe.Step("unplug", unplugged && ms >= 0 && ms <= 3 * tick,
               !unplugged ? "the unplug command failed"
               : ms < 0   ? "still connected after " + std::to_string(10 * tick) + " ms"
                          : "disconnected after " + std::to_string(ms) + " ms, status " + model.Label3.Text());
    QTest::qWait(tick);
    probe.PrintLogSince(mark);

    mark = probe.LogCount();
    const bool replugged = std::system(replug.c_str()) == 0;
    ms = probe.WaitFor(connected, 20000);
    probe.Step("replug", replugged && ms >= 0,
               !replugged ? "the replug command failed"
               : ms < 0   ? "not connected again in 20 s"
                          : "connected again after " + std::to_string(ms) + " ms, status " + model.Label3.Text());
    probe.PrintLogSince(mark);
    return probe.failed() ? 1 : 0;
}
