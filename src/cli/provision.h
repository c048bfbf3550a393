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
    // A foot switch's configuration interface present now, usable or not, with the identity of
    // its device.
    struct Unit {
        InterfaceInfo info;
        std::string identity;
    };
    // The units present now, by the path of their configuration interface: two units may share
    // an identity (no serial number, or the same one).
    using Units = std::map<std::string, Unit>;
    Units Present();
    // Why a unit's identity cannot tell it from another, so that each of its plug-ins counts as
    // a new unit; empty when it can.
    std::string Ambiguity(const Unit& unit, const Units& now);
    // What becomes of a unit just plugged in: programmed, or a line that says why not.
    void Arrive(const Unit& unit, const Units& now);
    // Programs one foot switch and says how it went under `key`, the unit it counts as; true
    // when every report was written.
    bool Program(const Unit& unit, const std::string& key);
    std::string Write(const Unit& unit);
    // Waits one poll, or less when an interrupt ends the wait; false when it is time to stop.
    bool Wait();
    bool Interrupted() const;
    // True when a unit just found is to be looked at again at the next poll: it is still being
    // laid out, or udev's rule may still be on its way.
    bool NotYet(const Unit& unit);
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
    // Each foot switch of this run by the unit it counts as (its identity, or its identity and
    // its line's number where the identity tells it from no other): whether its last
    // programming went through. One that failed is tried again when it is plugged in again.
    std::map<std::string, bool> results_;
    // Identities that two units present at once shared: every plug-in of them is programmed.
    std::set<std::string> ambiguous_;
    // Identities whose note on why every plug-in is programmed was given.
    std::set<std::string> noted_;
    // Configuration interfaces plugged in that this user may not open yet, with the wait when
    // first seen.
    std::map<std::string, std::int64_t> waitingForAccess_;
    // Interfaces seen for the first time at the last look: programmed when the next look finds
    // them again, as the kernel lays out a new device's description a moment after its node.
    std::set<std::string> settling_;
    int plugged_ = 0;  // virtual devices plugged in so far
};

}  // namespace treadle::cli
