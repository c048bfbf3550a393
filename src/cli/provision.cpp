#include "cli/provision.h"

#include "cli/devices.h"
#include "text/shown_text.h"

#include <algorithm>
#include <chrono>
#include <ostream>

namespace treadle::cli {

Provisioner::Provisioner(CommandContext& c, Session& session, const Job& job, ProvisionOptions options)
    : c_(c), session_(session), job_(job), options_(options) {}

std::map<std::string, InterfaceInfo> Provisioner::Present() {
    std::map<std::string, InterfaceInfo> present;
    SearchRequest request;
    request.ids = session_.Ids();
    for (InterfaceInfo& info : Search(session_.Hid(), request).interfaces) {
        if (IsFootSwitch(info, session_.Ids())) {
            present.emplace(session_.Hid().DeviceIdentity(info.path), std::move(info));
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

bool Provisioner::Program(const std::string& identity, const std::string& path) {
    HidPlatform& hid = session_.Hid();
    std::string error;
    const OpenResult opened = OpenForWriting(hid, path);
    Target t{path, opened.handle, {}};
    if (!opened.ok()) {
        error = opened.failure == OpenFailure::AccessDenied ? std::string(kNoAccess)
                                                            : "cannot open the device: " + opened.error;
    } else if (!hid.GetCaps(t.handle, t.caps) || t.caps.outputReportLength < kMinOutputReportLength) {
        error = "cannot read its report lengths, or its output report is too short for a frame";
    } else {
        error = Send(session_.Link(), t, job_);
    }
    if (opened.ok()) {
        hid.Close(t.handle);
    }
    results_[identity] = error.empty();
    if (error.empty()) {
        Line(identity, "programmed: " + job_.summary);
        return true;
    }
    const bool gone = Present().count(identity) == 0;
    Line(identity, (gone ? "unplugged half-way, not programmed: " : "failed: ") + error);
    return false;
}

bool Provisioner::Wait() {
    using Clock = std::chrono::steady_clock;
    auto interrupted = [this] { return c_.env.interrupted && c_.env.interrupted(); };
    if (interrupted()) {
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
    return !interrupted();
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
    std::map<std::string, InterfaceInfo> before = Present();
    for (const auto& [identity, info] : before) {
        if (enough()) {
            break;
        }
        if (options_.includePresent) {
            Program(identity, info.path);
        } else {
            c_.env.out << "already plugged in, left alone: " << ShownText(identity, kShownPathBytes) << std::endl;
        }
    }
    while (!enough()) {
        if (!Wait()) {
            const bool interrupted = c_.env.interrupted && c_.env.interrupted();
            return Summary(interrupted ? "interrupted"
                                       : "no more within " + std::to_string(options_.timeoutMs) + " ms");
        }
        if (v != nullptr && plugged_ < v->DeviceCount()) {
            v->Plug(plugged_++);
        }
        std::map<std::string, InterfaceInfo> now = Present();
        for (auto it = now.begin(); it != now.end();) {
            const auto& [identity, info] = *it;
            if (before.count(identity) != 0 || enough()) {
                ++it;
                continue;
            }
            // Just plugged in: looked at again at the next poll, when it is whole.
            if (settling_.insert(info.path).second) {
                it = now.erase(it);
                continue;
            }
            // Just plugged in and not yet open to this user: udev may still be at its rule.
            if (info.state == InterfaceState::NoAccess) {
                const std::int64_t since = waitingForAccess_.emplace(identity, waitedMs_).first->second;
                if (waitedMs_ - since < kAccessGraceMs) {
                    it = now.erase(it);  // seen as new again at the next poll
                    continue;
                }
            }
            waitingForAccess_.erase(identity);
            settling_.erase(info.path);
            const std::string path = info.path;
            ++it;
            if (const auto done = results_.find(identity); done != results_.end() && done->second && !options_.again) {
                c_.env.out << "plugged in again, already done: " << ShownText(identity, kShownPathBytes)
                           << " (--again programs it again)" << std::endl;
                continue;
            }
            Program(identity, path);
        }
        before = now;
    }
    return Summary({});
}

}  // namespace treadle::cli
