// treadle.exe: the window for programming the foot switch, on Win32.
#include "window/command_line.h"
#include "window/startup.h"
#include "window/win32/win32_look.h"
#include "window/win32/win32_services.h"
#include "window/win32/window_win32.h"

#include <commctrl.h>
#include <cstdlib>
#include <memory>
#include <shellapi.h>
#include <sstream>
#include <string>
#include <vector>
#include <windows.h>

namespace {

const std::string kProgram = "treadle";
const std::string kTitle = "Treadle";

// The arguments after the program name, as UTF-8.
std::vector<std::string> Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(treadle::win32::Narrow(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

// A program of the GUI subsystem has a standard stream only when its starter gave it one (a
// file or a pipe); started from the desktop it has none.
bool WriteToStream(DWORD which, const std::string& text) {
    HANDLE stream = ::GetStdHandle(which);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD type = ::GetFileType(stream);
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE && type != FILE_TYPE_CHAR) {
        return false;
    }
    DWORD written = 0;
    return ::WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
           written == text.size();
}

// Help, version and errors go to the stream the starter gave, or else into a message box.
void Say(DWORD which, const std::string& text, treadle::MessageBoxes& boxes) {
    if (!WriteToStream(which, text)) {
        boxes.Show(text, kTitle, treadle::MessageButtons::Ok);
    }
}

// The guide of the window's language shipped beside the program (docs\guide.zh.html or
// docs\guide.html; the English one where the other is missing), when the build names no other
// page.
bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string MakerPageFor(const std::string& built, treadle::Language language) {
    if (!TREADLE_GUIDE_IS_DEFAULT) {
        return built;
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return built;
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.resize(path.find_last_of(L"\\/") + 1);
    const std::wstring docs = path + L"docs\\";
    path = docs + treadle::win32::Wide(treadle::GuideFileName(language));
    if (!IsFile(path)) {
        path = docs + treadle::win32::Wide(treadle::GuideFileName(treadle::Language::English));
        if (!IsFile(path)) {
            return built;
        }
    }
    std::string url = "file:///" + treadle::win32::Narrow(path);
    for (char& c : url) {
        if (c == '\\') {
            c = '/';
        }
    }
    return url;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    treadle::win32::Win32MessageBoxes boxes;
    const treadle::StartPlan plan = treadle::PlanStart(Arguments(), std::getenv(treadle::kLanguageVariable), kProgram);
    if (!plan.out.empty()) {
        Say(STD_OUTPUT_HANDLE, plan.out, boxes);
    }
    if (plan.stop && !plan.err.empty()) {
        Say(STD_ERROR_HANDLE, plan.err, boxes);
    } else if (!plan.err.empty()) {
        WriteToStream(STD_ERROR_HANDLE, plan.err);  // a warning: the window starts all the same
    }
    if (plan.stop) {
        return plan.status;
    }
    const treadle::CommandLine& options = plan.options;
    const treadle::WindowOptions& windowOptions = plan.window;

    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&common);

    treadle::win32::Win32Sleeper sleeper;
    std::ostringstream err;
    const std::unique_ptr<treadle::HidPlatform> platform =
        treadle::StartPlatform(options, sleeper, boxes, err, kProgram);
    WriteToStream(STD_ERROR_HANDLE, err.str());  // the box has said it already
    if (platform == nullptr) {
        return treadle::kBadStartStatus;
    }

    treadle::win32::Win32Clock clock(windowOptions.language);
    treadle::win32::Win32UrlOpener url;
    treadle::win32::Win32FileDialogs files;
    treadle::win32::MainWindow window(treadle::WindowServices{*platform, clock, sleeper, boxes, url, &files}, instance,
                                      windowOptions);
    window.Model().MakerPage = MakerPageFor(window.Model().MakerPage, windowOptions.language);
    if (!window.Show(showCommand)) {
        Say(STD_ERROR_HANDLE,
            kProgram + ": the window cannot be made (error " + std::to_string(::GetLastError()) + ")\n", boxes);
        return 1;
    }
    boxes.SetOwner(window.Handle());
    url.SetOwner(window.Handle());
    files.SetOwner(window.Handle());
    MSG message{};
    BOOL got = 0;
    while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (window.TranslateKey(message) || ::IsDialogMessageW(window.Handle(), &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    boxes.SetOwner(nullptr);
    url.SetOwner(nullptr);
    files.SetOwner(nullptr);
    return got < 0 ? 1 : static_cast<int>(message.wParam);
}
