#include "cli/provision.h"

#include "cli/devices.h"
#include "text/shown_text.h"

#include <algorithm>
#include <chrono>
#include <ostream>

namespace treadle::cli {

Provisioner::Provisioner(CommandContext& c, Session& session, const Job& job, ProvisionOptions options)
    : c_(c), session_(session), job_(job), options_(options) {}

// Writes the job to a unit; what failed, empty when every report was written.
std::string Provisioner::Write(const Unit& unit) {
    if (unit.info.state == InterfaceState::Unusable) {
        return "cannot open the device: " + UnusableReason(unit.info);
    }
    HidPlatform& hid = session_.Hid();
    const OpenResult opened = OpenForWriting(hid, unit.info.path);
    if (!opened.ok()) {
        return opened.failure == OpenFailure::AccessDenied ? std::string(kNoAccess)
                                                           : "cannot open the device: " + opened.error;
    }
    Target t{unit.info.path, opened.handle, {}};
    std::string error;
    if (!hid.GetCaps(t.handle, t.caps) || t.caps.outputReportLength < kMinOutputReportLength) {
        error = "cannot read its report lengths, or its output report is too short for a frame";
    } else {
        error = Send(session_.Link(), t, job_);
    }
    hid.Close(t.handle);
    return error;
}

Provisioner::Units Provisioner::Present() {
    Units present;
    SearchRequest request;
    request.ids = session_.Ids();
    for (InterfaceInfo& info : Search(session_.Hid(), request).interfaces) {
        // A unit whose configuration interface cannot be used is there all the same: it fails.
        if (IsFootSwitch(info, session_.Ids()) ||
            (Matches(info, session_.Ids()) && info.state == InterfaceState::Unusable)) {
            std::string identity = session_.Hid().DeviceIdentity(info.path);
            std::string path = info.path;
            present.emplace(std::move(path), Unit{std::move(info), std::move(identity)});
        }
    }
    return present;
}

int Provisioner::Programmed() const {
    return static_cast<int>(std::count_if(results_.begin(), results_.end(), [](const auto& r) { return r.second; }));
}

void Provisioner::Line(const std::string& identity, const std::string& result) {
    c_.env.out << ++attempts_ << " " << (c_.env.timeOfDay ? c_.env.timeOfDay() + " " : std::string())
               << ShownText(identity, kShownPathBytes) << ": " << ShownMessage(result) << std::endl;
}

bool Provisioner::Program(const Unit& unit, const std::string& key) {
    // Each unit is a command of its own: a lock kept elsewhere is waited for again.
    if (VirtualFootSwitch* v = session_.Virtual()) {
        v->RestartLockWait();
    }
    const std::string error = Write(unit);
    results_[key] = error.empty();
    if (error.empty()) {
        Line(unit.identity, "programmed: " + job_.summary);
        return true;
    }
    const bool gone = Present().count(unit.info.path) == 0;
    Line(unit.identity, (gone ? "unplugged half-way, not programmed: " : "failed: ") + error);
    return false;
}

std::string Provisioner::Ambiguity(const Unit& unit, const Units& now) {
    if (unit.identity == unit.info.path) {
        return "the system tells no serial number: every plug-in is programmed";
    }
    if (unit.identity.rfind("serial ", 0) != 0) {
        return "no serial number: every plug-in is programmed";
    }
    if (std::count_if(now.begin(), now.end(), [&](const auto& u) { return u.second.identity == unit.identity; }) > 1) {
        ambiguous_.insert(unit.identity);
    }
    return ambiguous_.count(unit.identity) == 0
               ? std::string()
               : "another foot switch has the same serial number: every plug-in is programmed";
}

void Provisioner::Arrive(const Unit& unit, const Units& now) {
    const std::string& identity = unit.identity;
    if (const std::string why = Ambiguity(unit, now); !why.empty()) {
        if (noted_.insert(identity).second) {
            c_.env.out << ShownText(identity, kShownPathBytes) << ": " << why << std::endl;
        }
        // Counted as a unit of its own, under the number of its line.
        Program(unit, identity + "\n" + std::to_string(attempts_ + 1));
        return;
    }
    if (const auto done = results_.find(identity); done != results_.end() && done->second && !options_.again) {
        c_.env.out << "plugged in again, already done: " << ShownText(identity, kShownPathBytes)
                   << " (--again programs it again)" << std::endl;
        return;
    }
    Program(unit, identity);
}

bool Provisioner::NotYet(const Unit& unit) {
    const std::string& path = unit.info.path;
    // Just plugged in: looked at again at the next poll, when it is whole.
    if (settling_.insert(path).second) {
        return true;
    }
    // Just plugged in and not yet open to this user: udev may still be at its rule.
    if (unit.info.state == InterfaceState::NoAccess) {
        const std::int64_t since = waitingForAccess_.emplace(path, waitedMs_).first->second;
        if (waitedMs_ - since < kAccessGraceMs) {
            return true;
        }
    }
    waitingForAccess_.erase(path);
    settling_.erase(path);
    return false;
}

bool Provisioner::Interrupted() const { return c_.env.interrupted && c_.env.interrupted(); }

bool Provisioner::Wait() {
    using Clock = std::chrono::steady_clock;
    if (Interrupted()) {
        return false;
    }
    const std::int64_t elapsed = std::max<std::int64_t>(
        waitedMs_, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
    if (options_.timeoutMs >= 0 && elapsed >= options_.timeoutMs) {
        return false;
    }
    const int slice = static_cast<int>(
        options_.timeoutMs < 0 ? kPollMs : std::min<std::int64_t>(kPollMs, options_.timeoutMs - elapsed));
    // Woken by the system's device events where it has them; elsewhere a plain poll.
    if (!session_.Hid().WaitForDeviceEvent(slice)) {
        c_.env.sleeper.Sleep(slice);
        waitedMs_ += slice;
    }
    return !Interrupted();
}

int Provisioner::Summary(const std::string& why) {
    const int arrived = static_cast<int>(results_.size());
    if (!c_.o.quiet || Failed() > 0) {
        c_.env.out << arrived << " foot switch" << (arrived == 1 ? "" : "es") << ": " << Programmed() << " programmed, "
                   << Failed() << " failed" << (why.empty() ? "" : " (" + why + ")") << std::endl;
    }
    if (options_.count > 0 && arrived < options_.count) {
        return session_.Fail("only " + std::to_string(arrived) + " of " + std::to_string(options_.count) +
                             " foot switches were plugged in" + (why.empty() ? "" : " (" + why + ")"));
    }
    return Failed() == 0 ? kExitOk : kExitFailed;
}

int Provisioner::Run() {
    VirtualFootSwitch* v = options_.virtualArrivals ? session_.Virtual() : nullptr;
    if (v != nullptr) {
        for (int d = 0; d < v->DeviceCount(); ++d) {
            v->Unplug(d);  // each is plugged in, one by one, while the run waits
        }
    }
    auto enough = [this] { return options_.count > 0 && static_cast<std::int64_t>(results_.size()) >= options_.count; };
    Units before = Present();
    for (const auto& [path, unit] : before) {
        if (enough()) {
            break;
        }
        if (!options_.includePresent) {
            c_.env.out << "already plugged in, left alone: " << ShownText(unit.identity, kShownPathBytes) << std::endl;
            continue;
        }
        Arrive(unit, before);
        if (Interrupted()) {
            return Summary("interrupted");
        }
    }
    while (!enough()) {
        if (!Wait()) {
            return Summary(Interrupted() ? "interrupted"
                                         : "no more within " + std::to_string(options_.timeoutMs) + " ms");
        }
        if (v != nullptr && plugged_ < v->DeviceCount()) {
            v->Plug(plugged_++);
        }
        const Units now = Present();
        Units seen;  // what counts as present at the next poll: not those to be looked at again
        for (const auto& [path, unit] : now) {
            if (before.count(path) == 0 && !enough()) {
                if (NotYet(unit)) {
                    continue;
                }
                Arrive(unit, now);
                // A Ctrl-C lets the unit being written be finished, and no other be begun.
                if (Interrupted()) {
                    return Summary("interrupted");
                }
            }
            seen.emplace(path, unit);
        }
        before = std::move(seen);
    }
    return Summary({});
}

}  // namespace treadle::cli
