#include "device/press_queue.h"

#include "device/user_file.h"
#include "text/text_rules.h"

#include <algorithm>
#include <sstream>

namespace treadle {
namespace {

// Devices are numbered from 1 in the file, as in the state file.
constexpr int kMostDevices = 64;
constexpr std::size_t kMostReportBytes = 64;

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        text += " " + HexByte(b);
    }
    return text;
}

bool Decimal(const std::string& text, std::size_t maxDigits, std::uint64_t& value) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

}  // namespace

PressQueue::PressQueue(std::string stateFile, int lockWaitMs)
    : stateFile_(std::move(stateFile)), path_(PathOf(stateFile_)), lockWaitMs_(lockWaitMs) {}

std::string PressQueue::Load(std::vector<Entry>& entries) const {
    entries.clear();
    const FileRead file = ReadUserFile(path_, true);
    if (file.status == FileReadStatus::Missing) {
        return {};
    }
    if (file.status == FileReadStatus::Failed) {
        return path_ + ": " + file.error;
    }
    std::istringstream lines(file.text);
    int lineNumber = 0;
    for (std::string line; std::getline(lines, line);) {
        ++lineNumber;
        const std::string trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed[0] == '#') {
            continue;
        }
        auto bad = [&](const std::string& why) {
            return path_ + ":" + std::to_string(lineNumber) + ": " + why +
                   " (the file only passes pedal presses between programs: remove it to begin again)";
        };
        std::istringstream words(trimmed);
        std::string numberText;
        std::string deviceText;
        std::string interface;
        Entry entry;
        std::uint64_t device = 0;
        if (!(words >> numberText >> deviceText >> interface) || !Decimal(numberText, 18, entry.number) ||
            !Decimal(deviceText, 3, device) || device < 1 || device > kMostDevices ||
            (interface != "keyboard" && interface != "mouse")) {
            return bad("expected 'NUMBER DEVICE keyboard|mouse BYTES'");
        }
        entry.report.device = static_cast<int>(device) - 1;
        entry.report.keyboard = interface == "keyboard";
        for (std::string pair; words >> pair;) {
            if (pair.size() != 2 || HexDigitValue(pair[0]) < 0 || HexDigitValue(pair[1]) < 0 ||
                entry.report.report.size() == kMostReportBytes) {
                return bad("a report is up to " + std::to_string(kMostReportBytes) + " bytes of two hex digits");
            }
            entry.report.report.push_back(
                static_cast<std::uint8_t>(HexDigitValue(pair[0]) * 16 + HexDigitValue(pair[1])));
        }
        if (entry.report.report.empty()) {
            return bad("a report has at least one byte");
        }
        entries.push_back(std::move(entry));
    }
    return {};
}

std::string PressQueue::Append(const std::vector<QueuedReport>& reports, LockWait* wait) const {
    LockWait own(lockWaitMs_);
    const FileLock lock(stateFile_, LockMode::Exclusive, wait != nullptr ? *wait : own);
    if (!lock.error().empty()) {
        return "cannot lock the state file: " + lock.error();
    }
    RemoveStaleTemporaries(path_);
    std::vector<Entry> entries;
    if (std::string error = Load(entries); !error.empty()) {
        return error;
    }
    std::uint64_t next = 1;
    for (const Entry& e : entries) {
        next = std::max(next, e.number + 1);
    }
    for (const QueuedReport& r : reports) {
        entries.push_back({next++, r});
    }
    const std::size_t drop = entries.size() > kKeptReports ? entries.size() - kKeptReports : 0;
    std::string text =
        "# Treadle virtual foot switch: pedal presses, passed between the programs that share " + stateFile_ + "\n";
    for (std::size_t i = drop; i < entries.size(); ++i) {
        const QueuedReport& r = entries[i].report;
        text += std::to_string(entries[i].number) + " " + std::to_string(r.device + 1) +
                (r.keyboard ? " keyboard" : " mouse") + HexBytes(r.report) + "\n";
    }
    if (const std::string why = ReplaceUserFile(path_, text); !why.empty()) {
        return "cannot write " + path_ + ": " + why;
    }
    return {};
}

std::string PressQueue::Newest(std::uint64_t& number) const {
    std::vector<Entry> entries;
    if (std::string error = Load(entries); !error.empty()) {
        return error;
    }
    number = 0;
    for (const Entry& e : entries) {
        number = std::max(number, e.number);
    }
    return {};
}

std::string PressQueue::Take(std::uint64_t& after, std::vector<QueuedReport>& reports) const {
    std::vector<Entry> entries;
    if (std::string error = Load(entries); !error.empty()) {
        return error;
    }
    std::uint64_t newest = 0;
    for (const Entry& e : entries) {
        newest = std::max(newest, e.number);
    }
    if (newest < after) {
        after = 0;  // the file was begun again
    }
    for (Entry& e : entries) {
        if (e.number > after) {
            reports.push_back(std::move(e.report));
        }
    }
    after = std::max(after, newest);
    return {};
}

}  // namespace treadle
