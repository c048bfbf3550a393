// What became of the frames an action sent, and the log line that says it.
#pragma once

#include <string>
#include <vector>

#include "text/catalogue.h"

namespace treadle {

enum class SendOutcome {
    Written,       // the whole report reached the device
    NotConnected,  // no device could be reached: nothing was written
    Failed,        // a device was there but the write failed or was short (or the frame was unusable)
};

inline constexpr const char* kNotConnectedLine = Text(Msg::NotConnected, Language::Chinese);
inline constexpr const char* kWriteFailedLine = Text(Msg::WriteFailed, Language::Chinese);
inline constexpr const char* kBadSwitchLine = Text(Msg::BadSwitch, Language::Chinese);

// The outcomes of all frames of one action.
class SendOutcomes {
public:
    static SendOutcomes Of(SendOutcome o) {
        SendOutcomes outcomes;
        outcomes.Add(o);
        return outcomes;
    }
    void Add(SendOutcome o) { frames_.push_back(o); }
    void Add(const SendOutcomes& other) { frames_.insert(frames_.end(), other.frames_.begin(), other.frames_.end()); }
    bool Empty() const { return frames_.empty(); }
    size_t Count() const { return frames_.size(); }

    // Written when every frame was, NotConnected when none could reach a device, Failed
    // otherwise: for one frame, its outcome.
    SendOutcome Overall() const {
        if (AllWritten()) {
            return SendOutcome::Written;
        }
        for (SendOutcome o : frames_) {
            if (o != SendOutcome::NotConnected) {
                return SendOutcome::Failed;
            }
        }
        return SendOutcome::NotConnected;
    }

    bool AllWritten() const {
        for (SendOutcome o : frames_) {
            if (o != SendOutcome::Written) {
                return false;
            }
        }
        return true;
    }

    // The line that replaces an action's success line: "connect first" when no frame could
    // reach a device, "check the connection" when a device was there but did not take them all.
    const char* FailureLine(Language language = Language::Chinese) const {
        for (SendOutcome o : frames_) {
            if (o != SendOutcome::NotConnected) {
                return Text(Msg::WriteFailed, language);
            }
        }
        return Text(Msg::NotConnected, language);
    }

private:
    std::vector<SendOutcome> frames_;
};

}  // namespace treadle
