// A HID layer whose interfaces a test lists: each with its IDs, its caps, how its opening
// ends and whether the system tells its IDs and caps without opening it (as Linux does).
// Every opening, open handle and write is recorded.
#pragma once

#include "device/hid_platform.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace treadle::testing {

inline constexpr HidCaps kScriptedConfigCaps{8, 8, 0, 0xFF00, 1};

class ScriptedPlatform final : public HidPlatform {
  public:
    struct Interface {
        std::string path;
        HidAttributes ids;
        OpenFailure failure = OpenFailure::None;
        HidCaps caps = kScriptedConfigCaps;
        bool peek = true;
    };
    std::vector<Interface> interfaces;
    std::map<HidHandle, std::string> open;           // the handles open now
    std::vector<std::string> opened;                 // every opening asked for, in order
    std::vector<std::vector<std::uint8_t>> written;  // every report written
    std::set<size_t> failWrites;                     // the writes (counted from 0) the device does not take
    HidHandle next = 1;

    const Interface* ByPath(const std::string& path) const {
        for (const Interface& i : interfaces) {
            if (i.path == path) {
                return &i;
            }
        }
        return nullptr;
    }
    const Interface* ByHandle(HidHandle h) const { return open.count(h) != 0 ? ByPath(open.at(h)) : nullptr; }

    std::vector<std::string> EnumerateInterfaces() override {
        std::vector<std::string> paths;
        for (const Interface& i : interfaces) {
            paths.push_back(i.path);
        }
        return paths;
    }
    OpenResult OpenReadWrite(const std::string& path) override {
        opened.push_back(path);
        const Interface* i = ByPath(path);
        if (i == nullptr) {
            return {0, OpenFailure::Gone, "gone"};
        }
        if (i->failure != OpenFailure::None) {
            return {0, i->failure, "denied by the script"};
        }
        open[next] = path;
        return {next++, OpenFailure::None, {}};
    }
    OpenResult OpenForTimedRead(const std::string& path) override { return OpenReadWrite(path); }
    bool GetAttributes(HidHandle h, HidAttributes& out) override {
        const Interface* i = ByHandle(h);
        return i != nullptr && (out = i->ids, true);
    }
    bool PeekAttributes(const std::string& path, HidAttributes& out) override {
        const Interface* i = ByPath(path);
        return i != nullptr && i->peek && (out = i->ids, true);
    }
    bool PeekCaps(const std::string& path, HidCaps& out) override {
        const Interface* i = ByPath(path);
        return i != nullptr && i->peek && (out = i->caps, true);
    }
    bool GetCaps(HidHandle h, HidCaps& out) override {
        const Interface* i = ByHandle(h);
        return i != nullptr && (out = i->caps, true);
    }
    WriteResult Write(HidHandle, std::span<const std::uint8_t> r) override {
        const bool fails = failWrites.count(written.size()) != 0;
        written.emplace_back(r.begin(), r.end());
        return fails ? WriteResult{0, "stalled"} : WriteResult{static_cast<int>(r.size())};
    }
    ReadResult ReadTimed(HidHandle, std::span<std::uint8_t>, int) override { return {ReadStatus::TimedOut, 0, 0, {}}; }
    bool Close(HidHandle h) override { return open.erase(h) == 1; }
    std::string ErrorText(std::uint32_t) override { return {}; }
};

}  // namespace treadle::testing
