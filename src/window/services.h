// What the window asks of its surroundings besides HID: the time stamp of a log line, a
// blocking pause, modal message boxes and opening a web address. The front end (or a test)
// provides them, so every handler runs without a display and without real sleeps.
#pragma once

#include <string>

namespace treadle {

class Clock {
public:
    virtual ~Clock() = default;
    // The present local date and time as the user's regional settings write it: short
    // date, one blank, long time with seconds, no time zone ("2026/12/6 8:40:48").
    virtual std::string TimeStampText() = 0;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(int milliseconds) = 0;
};

enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel, Closed };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal box without icon; with OkCancel, OK is the default button.
    virtual MessageAnswer Show(const std::string& text, const std::string& title, MessageButtons buttons) = 0;
};

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands the address to the user's web browser; false when that could not be done.
    virtual bool Open(const std::string& url) = 0;
};

}  // namespace treadle
