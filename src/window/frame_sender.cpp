// Every frame the window sends goes through the link: composed frames as their bytes, the
// frame text box's text as the user typed it. Each is shown in TextIW as it is written.
#include "device/virtual_foot_switch.h"
#include "window/usb.h"

#include <algorithm>

namespace treadle {

void USB::UserEventStarts() {
    if (auto* device = dynamic_cast<VirtualFootSwitch*>(&services_.hid)) {
        device->RestartLockWait();
    }
}

const Connection* USB::ReachDevice() {
    if (!DeviceDetected && !DeviceEverDetected) {
        return nullptr;
    }
    if (!DeviceDetected) {
        DeviceDetected = FindTheHid();  // it was connected once: look for it again
    }
    if (!DeviceDetected) {
        return nullptr;
    }
    // Field by field: the path's text is copied into the room it had, without a new one.
    connection_.path = DevicePath;
    connection_.handle = HIDHandle;
    connection_.outputReportLength = OutputReportLength;
    return &connection_;
}

SendOutcomes USB::SendFrames(FrameJob job, const FootSwitchLink::StepDone& done) {
    job.keepGoing = true;  // the window writes every frame of an action, whatever became of one
    auto reach = [this, &job](size_t step) {
        if (!job.steps[step].typedText) {
            TextIW.SetText(FrameText(job.steps[step].frame));
        }
        return ReachDevice();
    };
    auto written = [this, &done, &job](size_t step, const StepResult& result) {
        LastApiResult = result.write.written;
        if (result.Outcome() == SendOutcome::Written) {
            RememberWritten(job.steps[step]);
        }
        ReportFileFailure(result.write);
        if (done) {
            done(step, result);
        }
    };
    return link_.Send(job, reach, written).Outcomes();
}

bool USB::SendAndLog(FrameJob job, const std::string& successLine, const FootSwitchLink::StepDone& done) {
    const SendOutcomes outcomes = SendFrames(std::move(job), done);
    if (!outcomes.AllWritten()) {
        LogMessage(outcomes.FailureLine(options_.language));
        return false;
    }
    if (!successLine.empty()) {
        LogMessage(successLine);
    }
    return true;
}

SendOutcome USB::SendFrame() {
    FrameJob job;
    job.steps.push_back({Frame{}, TextIW.Text(), 0});
    return SendFrames(std::move(job)).Overall();
}

void USB::RememberWritten(const JobStep& step) {
    if (!step.typedText) {
        written_.Remember(step.frame);
        return;
    }
    // A typed frame is remembered as the report carries it.
    const ReportConversion report = FrameTextToReport(*step.typedText, kMinOutputReportLength);
    if (report.ok()) {
        Frame frame;
        std::copy(report.report.begin() + 1, report.report.end(), frame.bytes.begin());
        written_.Remember(frame);
    }
}

void USB::ReportFileFailure(const WriteResult& written) {
    if (!written.fileFault && written.captureError.empty()) {
        if (written.written > 0) {
            fileFailureReported_ = false;
        }
        return;
    }
    if (fileFailureReported_) {
        return;
    }
    fileFailureReported_ = true;
    const std::string message =
        written.fileFault ? Text(Msg::StateFileFailed, options_.language, {written.error})
                          : Text(Msg::CaptureFailed, options_.language, {written.captureFile, written.captureError});
    LogMessage(message);
    services_.boxes.Show(message, Caption, MessageButtons::Ok);
}

}  // namespace treadle
