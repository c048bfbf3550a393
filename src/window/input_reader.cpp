// Reading one input report with a 100 ms wait, and showing it in the activity log.
#include <algorithm>

#include "text/text_rules.h"
#include "window/usb.h"

namespace treadle {

void USB::PrepareReadEvent() {
    // The platform's timed read brings its own wait; what remains is to note the step.
    readEventPrepared_ = true;
    LogMessage("CreateEvent");
}

void USB::ReadInputReport() {
    if (!DeviceDetected && !DeviceEverDetected) {
        AddPlainLine(T(Msg::ReadNotConnected));
        return;
    }
    if (!readEventPrepared_) {
        PrepareReadEvent();
    }
    std::vector<std::uint8_t> buffer(static_cast<size_t>(std::max(InputReportLength, 0)), 0);
    SelectLastLine();
    // The platform completes the read or cancels it and waits for the cancellation before it
    // returns, so the buffer is never written after this call.
    const ReadResult read = link_.Read(ReadHandle, buffer, kReadWaitMs);
    LastApiResult = read.bytesRead;
    LogMessage("ReadFile");
    AddPlainLine("waiting for ReadFile");
    SelectLastLine();
    LogMessage("WaitForSingleObject");
    switch (read.status) {
        case ReadStatus::Completed:
            AddPlainLine("ReadFile completed successfully.");
            break;
        case ReadStatus::TimedOut:
            AddPlainLine("Readfile timeout");
            AddPlainLine("************ReadFile timeout*************");
            AddPlainLine("CancelIO");
            LogMessage("CancelIo");
            break;
        case ReadStatus::Failed:
            AddPlainLine("Readfile undefined error");
            DeviceDetected = false;  // the next send searches again
            break;
    }
    AddPlainLine(" Report ID: " + DecimalText(buffer.empty() ? 0 : buffer[0]));
    AddPlainLine(" Report Data:");
    for (size_t i = 1; i < buffer.size(); ++i) {
        AddPlainLine(" " + HexByte(buffer[i]));
    }
    LogMessage("ResetEvent");
}

std::string USB::GetSystemErrorText(std::uint32_t code) { return services_.hid.ErrorText(code); }

}  // namespace treadle
