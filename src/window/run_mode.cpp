// Power-on run and playback mode share one frame: each of the three controls sends both.
#include "window/usb.h"

namespace treadle {
namespace {

FrameJob RunModeJob(bool powerOnRun, bool loopPlayback) {
    FrameJob job;
    job.steps.push_back({RunModeFrame(powerOnRun, loopPlayback), {}, 0});
    return job;
}

}  // namespace

void USB::Command_auto_run_Click() {
    PowerOnRun = !PowerOnRun;
    RenderToggles();
    // Logged after the write, so that the line can say whether it reached the device.
    SendAndLog(RunModeJob(PowerOnRun, LoopPlayback), T(PowerOnRun ? Msg::PowerOnRunOn : Msg::PowerOnRunOff));
}

void USB::Option1_Click() { SendAndLog(RunModeJob(PowerOnRun, false), T(Msg::SinglePlaybackSet)); }

void USB::Option2_Click() { SendAndLog(RunModeJob(PowerOnRun, true), T(Msg::LoopPlaybackSet)); }

}  // namespace treadle
