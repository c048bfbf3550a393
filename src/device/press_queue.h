// The pedal presses of a virtual foot switch, passed between the programs that share its
// state file. Each program runs its own simulator, so a press made in one (treadlectl press,
// the window's pedal buttons) reaches a watch in another (treadlectl watch, the window's
// pedal test) only through a file: STATE_FILE.presses, beside the state file.
//
// The file holds the keyboard and mouse reports of the presses, one line each, numbered in
// the order they came. A press appends its reports under the state file's lock and drops the
// oldest beyond kKeptReports, so the file stays small; it is replaced whole, by a rename, so
// a reader sees the old file or the new one and needs no lock. A reader remembers the
// number of the last report it took and takes only newer ones.
//
//   # comment
//   17 1 keyboard 00 01 00 3A 00 00 00 00 00
//   18 1 keyboard 00 00 00 00 00 00 00 00 00
#pragma once

#include "device/user_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace treadle {

struct QueuedReport {
    int device = 0;                    // from 0
    bool keyboard = true;              // the keyboard interface's report, else the mouse's
    std::vector<std::uint8_t> report;  // report-ID byte (0) first

    bool operator==(const QueuedReport&) const = default;
};

class PressQueue {
  public:
    // How many reports the file keeps: a reader that looks every few seconds misses none.
    static constexpr std::size_t kKeptReports = 256;

    // `lockWaitMs`: how long the state file's lock is waited for while another program holds it.
    explicit PressQueue(std::string stateFile, int lockWaitMs = kDefaultLockWaitMs);

    // The queue's file beside a state file.
    static std::string PathOf(const std::string& stateFile) { return stateFile + ".presses"; }
    const std::string& Path() const { return path_; }

    // Appends the reports of one press, taking the state file's lock, within `wait` when given.
    // Empty on success; otherwise why not, and nothing was appended.
    [[nodiscard]] std::string Append(const std::vector<QueuedReport>& reports, LockWait* wait = nullptr) const;

    // The number of the newest report queued now, 0 when there is none: a reader that starts
    // takes only what comes after it. Empty on success; otherwise why the file cannot be read.
    [[nodiscard]] std::string Newest(std::uint64_t& number) const;

    // The reports queued after report number `after`, oldest first; `after` moves to the
    // newest. Numbers that went back (the file was removed and begun again) start over.
    [[nodiscard]] std::string Take(std::uint64_t& after, std::vector<QueuedReport>& reports) const;

  private:
    struct Entry {
        std::uint64_t number = 0;
        QueuedReport report;
    };
    [[nodiscard]] std::string Load(std::vector<Entry>& entries) const;

    std::string stateFile_;
    std::string path_;
    int lockWaitMs_;
};

}  // namespace treadle
