// Provisioning: every foot switch plugged in while it runs is programmed once with the same
// job, one after another, each named by its serial number or where it is plugged in, with a
// line for what became of it and a count at the end.
#pragma once

#include "cli/commands.h"
#include "cli/devices.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace treadle::cli {

struct ProvisionOptions {
    std::int64_t count = 0;        // stop after this many foot switches; 0: no count
    std::int64_t timeoutMs = -1;   // give up after this long; -1: until interrupted
    bool includePresent = false;   // program those plugged in at the start too
    bool again = false;            // program a unit again when it is plugged in again
    bool virtualArrivals = false;  // the virtual foot switch's devices arrive one by one
};

class Provisioner {
  public:
    // How often the foot switches present are looked at.
    static constexpr int kPollMs = 250;
    // How long a foot switch just plugged in may stay closed to this user before that counts
    // as a failure: the kernel makes its nodes before udev's rule gives the user access.
    static constexpr int kAccessGraceMs = 2000;

    Provisioner(CommandContext& c, Session& session, const Job& job, ProvisionOptions options);

    // Runs until the count is reached, the time is up or an interrupt came; the exit status.
    int Run();

  private:
    // The foot switches' configuration interfaces present now, by the device they belong to.
    std::map<std::string, InterfaceInfo> Present();
    // Programs one foot switch and says how it went; true when every report was written.
    bool Program(const std::string& identity, const std::string& path);
    // Waits one poll, or less when an interrupt ends the wait; false when it is time to stop.
    bool Wait();
    void Line(const std::string& identity, const std::string& result);
    int Summary(const std::string& why);

    CommandContext& c_;
    Session& session_;
    const Job& job_;
    ProvisionOptions options_;
    int Programmed() const;
    int Failed() const { return static_cast<int>(results_.size()) - Programmed(); }

    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::int64_t waitedMs_ = 0;
    int attempts_ = 0;
    // Each foot switch of this run by its identity: whether its last programming went through.
    // One that failed is tried again when it is plugged in again.
    std::map<std::string, bool> results_;
    // Foot switches plugged in that this user may not open yet, with the wait when first seen.
    std::map<std::string, std::int64_t> waitingForAccess_;
    // Interfaces seen for the first time at the last look: programmed when the next look finds
    // them again, as the kernel lays out a new device's description a moment after its node.
    std::set<std::string> settling_;
    int plugged_ = 0;  // virtual devices plugged in so far
};

}  // namespace treadle::cli
