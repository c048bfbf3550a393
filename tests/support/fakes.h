// Stand-ins for the window's surroundings: a clock with a fixed time stamp, a sleeper that
// only records, message boxes that answer from a script, and a URL service that records.
#pragma once

#include "device/virtual_foot_switch.h"
#include "window/services.h"
#include "window/usb.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace treadle::testing {

class FakeClock final : public Clock {
  public:
    std::string stamp = "2026/12/6 8:40:48";
    std::string TimeStampText() override { return stamp; }
};

class FakeSleeper final : public Sleeper {
  public:
    std::vector<int> sleeps;
    // Runs at each sleep, after it is counted: what the world does meanwhile.
    std::function<void(int)> onSleep;
    void Sleep(int ms) override {
        sleeps.push_back(ms);
        if (onSleep) {
            onSleep(ms);
        }
    }
};

class FakeBoxes final : public MessageBoxes {
  public:
    struct Shown {
        std::string text;
        std::string title;
        MessageButtons buttons;
    };
    std::vector<Shown> shown;
    std::deque<MessageAnswer> answers;  // answered in order; OK when empty
    MessageAnswer Show(const std::string& text, const std::string& title, MessageButtons buttons) override {
        shown.push_back({text, title, buttons});
        if (answers.empty()) {
            return MessageAnswer::Ok;
        }
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

class FakeUrl final : public UrlOpener {
  public:
    std::vector<std::string> opened;
    bool opens = true;  // false: as where no program can open an address
    bool Open(const std::string& url) override {
        opened.push_back(url);
        return opens;
    }
};

// A file dialog that answers from a script: each answer in turn, then "cancelled".
class FakeFileDialogs final : public FileDialogs {
  public:
    struct Asked {
        FileDialogKind kind;
        std::string title;
        std::string filterName;
        std::string extension;
    };
    std::vector<Asked> asked;
    std::deque<std::optional<std::string>> answers;
    std::optional<std::string> Ask(FileDialogKind kind, const std::string& title, const std::string& filterName,
                                   const std::string& extension) override {
        asked.push_back({kind, title, filterName, extension});
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> a = answers.front();
        answers.pop_front();
        return a;
    }
};

// A loaded window on a virtual foot switch, with every service faked.
struct WindowFixture {
    explicit WindowFixture(VirtualFootSwitch::Options options = {}, WindowOptions view = {});
    // A window on any HID platform.
    explicit WindowFixture(HidPlatform& platform, WindowOptions view = {});

    FakeClock clock;
    FakeSleeper sleeper;
    FakeBoxes boxes;
    FakeUrl url;
    FakeFileDialogs files;
    std::unique_ptr<VirtualFootSwitch> device;
    std::unique_ptr<USB> window;

    // The window's log lines.
    const std::vector<std::string>& Log() const { return window->lstResults.Items(); }
    // A log line as LogMessage writes it with the fake clock.
    std::string Stamped(const std::string& message) const { return "[" + clock.stamp + "]:" + message; }
};

}  // namespace treadle::testing
