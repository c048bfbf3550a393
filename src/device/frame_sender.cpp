// Every frame the window sends passes through SendFrame: the text of TextIW becomes one
// output report, written to the connected device.
#include "device/frame_text.h"
#include "window/usb.h"

namespace treadle {

SendOutcome USB::SendFrame() {
    if (!DeviceDetected && !DeviceEverDetected) {
        return SendOutcome::NotConnected;
    }
    if (!DeviceDetected) {
        DeviceDetected = FindTheHid();  // it was connected once: look for it again
    }
    if (!DeviceDetected) {
        return SendOutcome::NotConnected;
    }
    const ReportConversion conversion = FrameTextToReport(TextIW.Text(), OutputReportLength);
    if (!conversion.ok()) {
        LastApiResult = 0;
        return SendOutcome::Failed;
    }
    const WriteResult written = services_.hid.Write(HIDHandle, conversion.report);
    LastApiResult = written.written;
    ReportCaptureFailure(written);
    return written.written == static_cast<int>(conversion.report.size()) ? SendOutcome::Written : SendOutcome::Failed;
}

void USB::ReportCaptureFailure(const WriteResult& written) {
    if (written.captureError.empty()) {
        if (written.written > 0) {
            captureFailureReported_ = false;
        }
        return;
    }
    if (captureFailureReported_) {
        return;  // one action writes several reports: say it once
    }
    captureFailureReported_ = true;
    const std::string message = kCaptureFailedMessage + written.captureFile + "：" + written.captureError;
    LogMessage(message);
    services_.boxes.Show(message, Caption, MessageButtons::Ok);
}

}  // namespace treadle
