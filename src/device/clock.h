// The time the device link and the window need from the system: the time stamp of a log
// line and a blocking pause. Each program provides them (tests with a fake), so nothing waits
// for real where it need not.
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

}  // namespace treadle
