// A platform without a HID layer of ours: no interfaces, so the window honestly shows that
// no device is plugged in.
#include "device/hid_platform.h"

namespace treadle {
namespace {

class NoHidPlatform final : public HidPlatform {
  public:
    std::vector<std::string> EnumerateInterfaces() override { return {}; }
    OpenResult OpenReadWrite(const std::string&) override { return {0, OpenFailure::Gone, "no HID layer"}; }
    OpenResult OpenForTimedRead(const std::string&) override { return {0, OpenFailure::Gone, "no HID layer"}; }
    bool GetAttributes(HidHandle, HidAttributes&) override { return false; }
    bool GetCaps(HidHandle, HidCaps&) override { return false; }
    WriteResult Write(HidHandle, std::span<const std::uint8_t>) override { return {0, "no HID layer"}; }
    ReadResult ReadTimed(HidHandle, std::span<std::uint8_t>, int) override {
        return {ReadStatus::Failed, 0, 0, "no HID layer"};
    }
    bool Close(HidHandle) override { return false; }
    std::string ErrorText(std::uint32_t) override { return {}; }
};

}  // namespace

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() { return std::make_unique<NoHidPlatform>(); }

}  // namespace treadle
