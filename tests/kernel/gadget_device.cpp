// The foot switch's side of a USB gadget made with configfs (f_hid on dummy_hcd): it reads
// the reports the host writes to the configuration function, keeps the 32 slots with the
// virtual foot switch's model, logs every report it received, and on command presses a pedal
// by sending what the pedal's slot holds on the keyboard or mouse function.
//
//   treadle-gadget descriptor HEXFILE OUT
//       writes the report descriptor of HEXFILE (hex bytes, '#' comments) to OUT in one write,
//       as configfs wants it
//   treadle-gadget serve --gadget CONFIGFS_DIR --udc UDC --control FIFO --log FILE [--state FILE]
//       runs the device on the gadget's functions hid.config and, when it has them,
//       hid.keyboard and hid.mouse; the slots are kept in the state file, across restarts.
//       FIFO takes lines "press N", "send HEX..." (an input report on the configuration
//       function), "stall" (stop reading), "resume", "release" (close the nodes before an
//       unplug; they are opened again when they are back), "unplug", "plug" (bind the gadget
//       to UDC again), "unplug-after N" (unplug after N more reports, in the middle of a
//       command) and "quit". FILE gets one line per
//       report received, its bytes as received, and one line per command done
#include "device/virtual_foot_switch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <poll.h>
#include <span>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Report = std::vector<std::uint8_t>;

bool ReadHexFile(const std::string& path, Report& out, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (word.size() != 2 || word.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                error = path + ": \"" + word + "\" is not a hex byte";
                return false;
            }
            out.push_back(static_cast<std::uint8_t>(std::stoi(word, nullptr, 16)));
        }
    }
    if (out.empty()) {
        error = path + " holds no bytes";
        return false;
    }
    return true;
}

int WriteDescriptor(const std::string& hexFile, const std::string& outPath) {
    Report bytes;
    std::string error;
    if (!ReadHexFile(hexFile, bytes, error)) {
        std::cerr << "treadle-gadget: " << error << "\n";
        return 1;
    }
    const int fd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::cerr << "treadle-gadget: cannot open " << outPath << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    const int writeErrno = errno;
    ::close(fd);
    if (n != static_cast<ssize_t>(bytes.size())) {
        std::cerr << "treadle-gadget: writing " << outPath << " failed: " << std::strerror(writeErrno) << "\n";
        return 1;
    }
    return 0;
}

// The /dev node of a gadget function (FUNCTION_DIR/dev holds its major:minor); empty while the
// gadget is bound to no controller and the node does not exist.
std::string FunctionNode(const std::string& functionDir) {
    std::ifstream dev(functionDir + "/dev");
    std::string number;
    if (!(dev >> number)) {
        return {};
    }
    std::ifstream uevent("/sys/dev/char/" + number + "/uevent");
    std::string line;
    while (std::getline(uevent, line)) {
        if (line.rfind("DEVNAME=", 0) == 0) {
            return "/dev/" + line.substr(8);
        }
    }
    return {};
}

class Device {
  public:
    Device(std::string gadgetDir, std::string udc, std::string stateFile, std::FILE* log)
        : gadget_(std::move(gadgetDir)), udc_(std::move(udc)), log_(log) {
        model_ = std::make_unique<treadle::VirtualFootSwitch>(treadle::VirtualFootSwitch::Options{
            .devices = 1, .stateFile = std::move(stateFile), .captureFile = {}, .sleeper = nullptr});
        std::string error;
        if (!model_->Start(error)) {
            Log("error " + error);
        }
        handle_ = model_->OpenReadWrite(treadle::VirtualFootSwitch::ConfigPath(0)).handle;
        hasPedals_ = ::access((gadget_ + "/functions/hid.keyboard").c_str(), F_OK) == 0;
    }

    bool stopped() const { return stopped_; }

    // One poll round: what the host wrote, the commands, and the queued presses. While the
    // gadget is unplugged its nodes are gone: they are opened again once they are back.
    void Run(int control) {
        if (config_ < 0 && !OpenFunctions()) {
            pollfd p{control, POLLIN, 0};
            if (::poll(&p, 1, 200) > 0) {
                ReadCommands(control);
            }
            return;
        }
        std::vector<pollfd> fds;
        fds.push_back({control, POLLIN, 0});
        if (!stalled_) {
            fds.push_back({config_, POLLIN, 0});
        }
        for (auto& [function, output] : outputs_) {
            if (output.fd >= 0 && !output.queue.empty()) {
                fds.push_back({output.fd, POLLOUT, 0});
            }
        }
        if (::poll(fds.data(), fds.size(), 1000) <= 0) {
            return;
        }
        for (const pollfd& p : fds) {
            if (p.revents == 0 || config_ < 0) {
                continue;
            }
            if (p.fd == control) {
                ReadCommands(control);
            } else if (p.events == POLLIN) {
                ReadReport();
            } else {
                SendNext(p.fd);
            }
        }
    }

  private:
    enum class Function { Keyboard, Mouse, Config };
    struct Output {
        int fd = -1;
        std::deque<Report> queue;
    };

    void Log(const std::string& line) {
        std::fprintf(log_, "%s\n", line.c_str());
        std::fflush(log_);
    }

    int OpenFunction(const char* name, int flags) {
        const std::string node = FunctionNode(gadget_ + "/functions/hid." + name);
        return node.empty() ? -1 : ::open(node.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    }

    bool OpenFunctions() {
        config_ = OpenFunction("config", O_RDWR);
        if (config_ < 0) {
            return false;
        }
        outputs_[Function::Config].fd = config_;
        if (hasPedals_) {
            outputs_[Function::Keyboard].fd = OpenFunction("keyboard", O_WRONLY);
            outputs_[Function::Mouse].fd = OpenFunction("mouse", O_WRONLY);
        }
        Log("opened");
        return true;
    }

    void CloseFunctions(const std::string& why) {
        for (auto& [function, output] : outputs_) {
            if (output.fd >= 0) {
                ::close(output.fd);
            }
            output.fd = -1;
            output.queue.clear();
        }
        config_ = -1;
        Log("closed: " + why);
    }

    void ReadReport() {
        std::uint8_t buffer[64];
        const ssize_t n = ::read(config_, buffer, sizeof buffer);
        if (n < 0) {
            if (errno != EAGAIN && errno != EINTR) {
                CloseFunctions("reading the configuration function failed: " + std::string(std::strerror(errno)));
                ::usleep(100000);
            }
            return;
        }
        const std::span<const std::uint8_t> received(buffer, static_cast<size_t>(n));
        Log("report " + treadle::ByteListText(received));
        // The host's report ID 0 is not sent on the wire; the model takes the report with it.
        Report withId{0};
        withId.insert(withId.end(), received.begin(), received.end());
        const treadle::WriteResult result = model_->Write(handle_, withId);
        if (!result.error.empty()) {
            Log("ignored " + result.error);
        }
        if (unplugAfter_ > 0 && --unplugAfter_ == 0) {
            Unplug();
        }
    }

    // Closes the nodes first (they go away with the binding), then unbinds the controller.
    void Unplug() {
        CloseFunctions("unplugging");
        std::ofstream udc(gadget_ + "/UDC");
        udc << "\n";
        udc.flush();
        Log(udc ? "done unplug" : "error unplugging failed");
    }

    void ReadCommands(int control) {
        char buffer[256];
        const ssize_t n = ::read(control, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        pending_.append(buffer, static_cast<size_t>(n));
        size_t end;
        while ((end = pending_.find('\n')) != std::string::npos) {
            const std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            Command(line);
        }
    }

    void Command(const std::string& line) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "press") {
            int pedal = 0;
            words >> pedal;
            Press(pedal);
        } else if (verb == "send") {
            Report report;
            std::string word;
            while (words >> word) {
                report.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
            }
            outputs_[Function::Config].queue.push_back(report);
            Log("done send");
        } else if (verb == "stall") {
            stalled_ = true;
            Log("done stall");
        } else if (verb == "resume") {
            stalled_ = false;
            Log("done resume");
        } else if (verb == "release") {
            // Before an unplug: the nodes go away with the gadget's binding.
            if (config_ >= 0) {
                CloseFunctions("released");
            }
            Log("done release");
        } else if (verb == "unplug") {
            Unplug();
        } else if (verb == "plug") {
            std::ofstream udc(gadget_ + "/UDC");
            udc << udc_ << "\n";
            udc.flush();
            Log(udc ? "done plug" : "error plugging in failed");
        } else if (verb == "unplug-after") {
            words >> unplugAfter_;
            Log("done unplug-after");
        } else if (verb == "quit") {
            stopped_ = true;
        } else if (!verb.empty()) {
            Log("error unknown command " + line);
        }
    }

    void Press(int pedal) {
        if (pedal < 1 || pedal > 4) {
            Log("error no pedal " + std::to_string(pedal));
            return;
        }
        if (!model_->Reload(reloadError_)) {
            Log("error " + reloadError_);
            return;
        }
        const size_t slot = static_cast<size_t>(pedal - 1);
        const auto press = treadle::SlotPress(model_->Slots()[slot], model_->Kinds()[slot]);
        if (!press) {
            Log("error switch " + std::to_string(pedal) + " holds nothing");
            return;
        }
        // The functions' reports carry no report ID: their descriptors declare none.
        if (press->mouse) {
            Output& out = outputs_[Function::Mouse];
            out.queue.push_back({static_cast<std::uint8_t>(press->button), 0, 0, 0});
            out.queue.push_back({0, 0, 0, 0});
        } else {
            Output& out = outputs_[Function::Keyboard];
            out.queue.push_back({press->modifiers, 0, static_cast<std::uint8_t>(press->usage), 0, 0, 0, 0, 0});
            out.queue.push_back({0, 0, 0, 0, 0, 0, 0, 0});
        }
        Log("done press " + std::to_string(pedal));
    }

    void SendNext(int fd) {
        for (auto& [function, output] : outputs_) {
            if (output.fd != fd || output.queue.empty()) {
                continue;
            }
            const Report& report = output.queue.front();
            const ssize_t n = ::write(fd, report.data(), report.size());
            if (n == static_cast<ssize_t>(report.size())) {
                output.queue.pop_front();
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                Log("error sending a report: " + std::string(std::strerror(errno)));
                output.queue.clear();
            }
        }
    }

    std::string gadget_;
    std::string udc_;
    std::FILE* log_;
    int config_ = -1;
    bool hasPedals_ = false;
    std::map<Function, Output> outputs_;
    std::unique_ptr<treadle::VirtualFootSwitch> model_;
    treadle::HidHandle handle_ = 0;
    std::string pending_;
    std::string reloadError_;
    int unplugAfter_ = 0;  // reports still to read before the device unplugs itself; 0: never
    bool stalled_ = false;
    bool stopped_ = false;
};

int Serve(const std::map<std::string, std::string>& options) {
    auto get = [&](const std::string& name) {
        const auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    };
    if (get("--gadget").empty() || get("--control").empty() || get("--log").empty()) {
        std::cerr << "treadle-gadget serve: --gadget, --control and --log are needed\n";
        return 2;
    }
    std::FILE* log = std::fopen(get("--log").c_str(), "a");
    if (log == nullptr) {
        std::cerr << "treadle-gadget: cannot open " << get("--log") << "\n";
        return 1;
    }
    // Read-write, so that the FIFO never reads as ended between the commands of two writers.
    const int control = ::open(get("--control").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (control < 0) {
        std::cerr << "treadle-gadget: cannot open " << get("--control") << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    Device device(get("--gadget"), get("--udc"), get("--state"), log);
    std::fprintf(log, "ready\n");
    std::fflush(log);
    while (!device.stopped()) {
        device.Run(control);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "descriptor") {
        return WriteDescriptor(args[1], args[2]);
    }
    if (!args.empty() && args[0] == "serve" && args.size() % 2 == 1) {
        std::map<std::string, std::string> options;
        for (size_t i = 1; i + 1 < args.size(); i += 2) {
            options[args[i]] = args[i + 1];
        }
        return Serve(options);
    }
    std::cerr
        << "usage: treadle-gadget descriptor HEXFILE OUT\n"
           "       treadle-gadget serve --gadget CONFIGFS_DIR --udc UDC --control FIFO --log FILE [--state FILE]\n";
    return 2;
}
