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
    ReportFileFailure(written);
    return written.written == static_cast<int>(conversion.report.size()) ? SendOutcome::Written : SendOutcome::Failed;
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
    const std::string message = written.fileFault
                                    ? Text(Msg::StateFileFailed, options_.language, {written.error})
                                    : Text(Msg::CaptureFailed, options_.language, {written.captureFile, written.captureError});
    LogMessage(message);
    services_.boxes.Show(message, Caption, MessageButtons::Ok);
}

}  // namespace treadle
