// The window's message catalogue: every text the user reads in the window (captions, status
// texts, log lines, message boxes) in Chinese, the default, and in English. The table is data;
// Chinese texts are the window's own and must not change.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace treadle {

enum class Language { Chinese, English };

// One entry per text. Texts with %1, %2 take arguments (see Fill).
enum class Msg {
    // Status label
    StatusNoDevice,
    StatusConnected,
    // Captions
    SwitchSelection,
    DefaultSwitch,
    LongPressOff,
    ManualWrite,
    DelayCaption,
    MouseButtons,
    LeftButton,
    MiddleButton,
    RightButton,
    StatusInformation,
    ClearLog,
    ConnectDevice,
    ParameterSettings,
    PowerOnRun,
    LoopPlayback,
    SinglePlayback,
    ClearAllKeys,
    ConfirmDelay,
    FrameTextCaption,
    SettingsSlotNote,
    // Log lines and message boxes
    KeyAssigned,
    MouseLeftAssigned,
    MouseMiddleAssigned,
    MouseRightAssigned,
    NotConnected,
    WriteFailed,
    BadSwitch,
    ConfirmClearAll,
    ConfirmClearAllTitle,
    AllKeysCleared,
    PowerOnRunOff,
    PowerOnRunOn,
    SinglePlaybackSet,
    LoopPlaybackSet,
    DataWritten,
    KeyDelayLogged,
    ReadNotConnected,
    HexOnly,
    NoAccess,
    CaptureFailed,
    StateFileFailed,
    NoIds,
    GuideNotOpened,
    // The pedal test of the advanced view
    PedalTestCaption,
    PedalButton,
    PedalMatch,
    PedalOr,
    PedalNoMatch,
    PedalNotListening,
    PedalPressFailed,
    PedalOnlyVirtual,
    PedalHoldsNothing,
    PedalUnplugged,
    // Accessible names: frames without a caption, and the keys as a screen reader says them
    NameKeyboard,
    NameTopBand,
    NameHoldAndWrite,
    NameKeyDelay,
    KeyLeft,
    KeyRight,
    KeyKeypad,
    KeyEscape,
    KeyTab,
    KeyCapsLock,
    KeyEnter,
    KeySpace,
    KeyBackspace,
    KeyInsert,
    KeyDelete,
    KeyHome,
    KeyEnd,
    KeyPageUp,
    KeyPageDown,
    KeyUpArrow,
    KeyDownArrow,
    KeyLeftArrow,
    KeyRightArrow,
    KeyPrintScreen,
    KeyScrollLock,
    KeyPause,
    KeyMenu,
    KeyMinus,
    KeyEquals,
    KeyLeftBracket,
    KeyRightBracket,
    KeyBackslash,
    KeySemicolon,
    KeyQuote,
    KeyBacktick,
    KeyComma,
    KeyPeriod,
    KeySlash,
    KeyNumLock,
    KeyAsterisk,
    KeyPlus,
    KeyDecimal,
    // Profiles (advanced view)
    SaveProfile,
    LoadProfile,
    ProfileFileFilter,
    ProfileSaved,
    ProfileSaveFailed,
    ProfileSwitchUnknown,
    ProfileLongPressUnknown,
    ProfileDelayUnknown,
    ProfileNote,
    ProfileUnreadable,
    ProfileBroken,
    ProfileLoaded,
    ProfileNotAllWritten,
    ProfileNothing,
    ProfilePartSwitch,
    ProfilePartDelay,
    ProfilePartLongPressOn,
    ProfilePartLongPressOff,
    ProfilePartRunModeOn,
    ProfilePartRunModeOff,
    ProfileLoop,
    ProfileSingle,
    ProfileSeparator,
    ProfileIsVirtualFile,
    VirtualStateFile,
    VirtualStateLock,
    VirtualPressQueue,
    VirtualCaptureFile,
    Count
};

struct CatalogueEntry {
    Msg id;
    const char* name;  // the id as text, for tests and tools
    const char* chinese;
    const char* english;
};

inline constexpr std::array<CatalogueEntry, static_cast<size_t>(Msg::Count)> kCatalogue{{
    {Msg::StatusNoDevice, "StatusNoDevice", "请插入设备！", "No device!"},
    {Msg::StatusConnected, "StatusConnected", "设备连接成功！", "Connected!"},
    {Msg::SwitchSelection, "SwitchSelection", "开关选择:", "Switch:"},
    {Msg::DefaultSwitch, "DefaultSwitch", "(默认为'1')", "(default 1)"},
    {Msg::LongPressOff, "LongPressOff", "长按无效", "No hold"},
    {Msg::ManualWrite, "ManualWrite", "手动写入", "Write"},
    {Msg::DelayCaption, "DelayCaption", "延时:", "Delay:"},
    {Msg::MouseButtons, "MouseButtons", "鼠标按键", "Mouse"},
    {Msg::LeftButton, "LeftButton", "左键", "Left"},
    {Msg::MiddleButton, "MiddleButton", "中键", "Mid"},
    {Msg::RightButton, "RightButton", "右键", "Right"},
    {Msg::StatusInformation, "StatusInformation", "状态信息：", "Status:"},
    {Msg::ClearLog, "ClearLog", "清除信息", "Clear log"},
    {Msg::ConnectDevice, "ConnectDevice", "连接设备", "Connect"},
    {Msg::ParameterSettings, "ParameterSettings", "参数设置", "Run mode"},
    {Msg::PowerOnRun, "PowerOnRun", "上电自动运行", "Power-on run"},
    {Msg::LoopPlayback, "LoopPlayback", "循环播放", "Loop"},
    {Msg::SinglePlayback, "SinglePlayback", "单次播放", "Once"},
    {Msg::ClearAllKeys, "ClearAllKeys", "清除设备键值", "Clear all keys"},
    {Msg::ConfirmDelay, "ConfirmDelay", "确定", "Set delay"},
    {Msg::FrameTextCaption, "FrameTextCaption", "待写入的数据帧（手动写入）：", "Frame that Write sends:"},
    {Msg::SettingsSlotNote, "SettingsSlotNote",
     "注意：按键延时与运行模式共用设备的一个设置位置，每次设置按键都会重写它。",
     "Note: the key delay and the run mode share one settings slot on the device; every key assignment "
     "rewrites it."},
    {Msg::KeyAssigned, "KeyAssigned", "成功在开关 <%1> 中写入< %2 >", "Wrote < %2 > to switch <%1>"},
    {Msg::MouseLeftAssigned, "MouseLeftAssigned", "成功在开关 < %1 > 写入鼠标 < 左键单击 > ",
     "Wrote mouse < left click > to switch < %1 >"},
    {Msg::MouseMiddleAssigned, "MouseMiddleAssigned", "成功在开关 < %1 > 写入鼠标 < 中键单击 > ",
     "Wrote mouse < middle click > to switch < %1 >"},
    {Msg::MouseRightAssigned, "MouseRightAssigned", "成功在开关 < %1 > 写入鼠标 < 右键单击 > ",
     "Wrote mouse < right click > to switch < %1 >"},
    {Msg::NotConnected, "NotConnected", "写入失败，请先连接。", "Write failed, please connect first."},
    {Msg::WriteFailed, "WriteFailed", "写入失败，请检查设备连接。",
     "Write failed, please check the device connection."},
    {Msg::BadSwitch, "BadSwitch", "写入失败，请选择开关 1 到 4。", "Write failed, please choose switch 1 to 4."},
    {Msg::ConfirmClearAll, "ConfirmClearAll", "确定清空设备所有键值?", "Really clear all key values of the device?"},
    {Msg::ConfirmClearAllTitle, "ConfirmClearAllTitle", "温馨提示", "Please confirm"},
    {Msg::AllKeysCleared, "AllKeysCleared", "已清空设备所有键值!", "All key values of the device cleared!"},
    {Msg::PowerOnRunOff, "PowerOnRunOff", "键鼠控制器上电不自动运行！",
     "The foot switch does not run by itself at power-on!"},
    {Msg::PowerOnRunOn, "PowerOnRunOn", "键鼠控制器上电自动运行存储的键值！",
     "The foot switch runs its stored keys by itself at power-on!"},
    {Msg::SinglePlaybackSet, "SinglePlaybackSet", "单次播放！", "Single playback!"},
    {Msg::LoopPlaybackSet, "LoopPlaybackSet", "循环播放！", "Loop playback!"},
    {Msg::DataWritten, "DataWritten", "写入数据：%1", "Data written: %1"},
    {Msg::KeyDelayLogged, "KeyDelayLogged", "按键延时响应时间：%1 ms", "Key delay: %1 ms"},
    {Msg::ReadNotConnected, "ReadNotConnected", "读出失败请先连接", "Read failed, please connect first"},
    {Msg::HexOnly, "HexOnly", "请输入的数据是16进制的范围", "Please enter hexadecimal digits and blanks only"},
    {Msg::NoAccess, "NoAccess",
     "无法打开设备：没有访问权限。请安装 udev 规则 70-treadle.rules（见用户指南），然后重新插入设备。",
     "Cannot open the device: no permission. Install the udev rule 70-treadle.rules (see the user guide), then "
     "plug the device in again."},
    {Msg::CaptureFailed, "CaptureFailed", "无法写入捕获文件 %1：%2", "Cannot write the capture file %1: %2"},
    {Msg::StateFileFailed, "StateFileFailed", "无法保存状态文件：%1", "Cannot save the state file: %1"},
    {Msg::NoIds, "NoIds", "please input VendorID and  ProductID", "Please enter the VendorID and the ProductID"},
    {Msg::GuideNotOpened, "GuideNotOpened", "无法打开用户指南：没有找到可以打开它的程序（例如网页浏览器）。指南在：\n%1",
     "The user guide could not be opened: no program to open it (such as a web browser) was found. The guide "
     "is at:\n%1"},
    {Msg::PedalTestCaption, "PedalTestCaption", "踏板测试", "Pedal test"},
    {Msg::PedalButton, "PedalButton", "踏板 %1", "Pedal %1"},
    {Msg::PedalMatch, "PedalMatch", "开关 %1", "switch %1"},
    {Msg::PedalOr, "PedalOr", "或", "or"},
    {Msg::PedalNoMatch, "PedalNoMatch", "注意：与写入的开关都不符", "warning: matches no programmed switch"},
    {Msg::PedalNotListening, "PedalNotListening", "没有在听踏板：%1", "Not listening: %1"},
    {Msg::PedalPressFailed, "PedalPressFailed", "不能踩下踏板：%1", "Cannot press the pedal: %1"},
    {Msg::PedalOnlyVirtual, "PedalOnlyVirtual", "只有虚拟脚踏开关的踏板可以在这里踩下",
     "only the virtual foot switch's pedals can be pressed from here"},
    {Msg::PedalHoldsNothing, "PedalHoldsNothing", "开关 %1 没有写入任何键值（%2）：它的踏板不发送任何内容",
     "switch %1 holds no assignment (%2): its pedal sends nothing"},
    {Msg::PedalUnplugged, "PedalUnplugged", "虚拟脚踏开关已拔出", "the virtual foot switch was unplugged"},
    {Msg::NameKeyboard, "NameKeyboard", "键盘", "Keyboard"},
    {Msg::NameTopBand, "NameTopBand", "工具栏", "Toolbar"},
    {Msg::NameHoldAndWrite, "NameHoldAndWrite", "长按与手动写入", "Hold and write"},
    {Msg::NameKeyDelay, "NameKeyDelay", "按键延时", "Key delay"},
    {Msg::KeyLeft, "KeyLeft", "左%1", "Left %1"},
    {Msg::KeyRight, "KeyRight", "右%1", "Right %1"},
    {Msg::KeyKeypad, "KeyKeypad", "小键盘%1", "Keypad %1"},
    {Msg::KeyEscape, "KeyEscape", "Esc", "Escape"},
    {Msg::KeyTab, "KeyTab", "制表键", "Tab"},
    {Msg::KeyCapsLock, "KeyCapsLock", "大写锁定", "Caps Lock"},
    {Msg::KeyEnter, "KeyEnter", "回车", "Enter"},
    {Msg::KeySpace, "KeySpace", "空格", "Space"},
    {Msg::KeyBackspace, "KeyBackspace", "退格", "Backspace"},
    {Msg::KeyInsert, "KeyInsert", "插入", "Insert"},
    {Msg::KeyDelete, "KeyDelete", "删除", "Delete"},
    {Msg::KeyHome, "KeyHome", "Home", "Home"},
    {Msg::KeyEnd, "KeyEnd", "End", "End"},
    {Msg::KeyPageUp, "KeyPageUp", "上翻页", "Page Up"},
    {Msg::KeyPageDown, "KeyPageDown", "下翻页", "Page Down"},
    {Msg::KeyUpArrow, "KeyUpArrow", "上箭头", "Up Arrow"},
    {Msg::KeyDownArrow, "KeyDownArrow", "下箭头", "Down Arrow"},
    {Msg::KeyLeftArrow, "KeyLeftArrow", "左箭头", "Left Arrow"},
    {Msg::KeyRightArrow, "KeyRightArrow", "右箭头", "Right Arrow"},
    {Msg::KeyPrintScreen, "KeyPrintScreen", "截屏", "Print Screen"},
    {Msg::KeyScrollLock, "KeyScrollLock", "滚动锁定", "Scroll Lock"},
    {Msg::KeyPause, "KeyPause", "暂停", "Pause"},
    {Msg::KeyMenu, "KeyMenu", "菜单", "Menu"},
    {Msg::KeyMinus, "KeyMinus", "减号", "Minus"},
    {Msg::KeyEquals, "KeyEquals", "等号", "Equals"},
    {Msg::KeyLeftBracket, "KeyLeftBracket", "左方括号", "Left Bracket"},
    {Msg::KeyRightBracket, "KeyRightBracket", "右方括号", "Right Bracket"},
    {Msg::KeyBackslash, "KeyBackslash", "反斜杠", "Backslash"},
    {Msg::KeySemicolon, "KeySemicolon", "分号", "Semicolon"},
    {Msg::KeyQuote, "KeyQuote", "引号", "Quote"},
    {Msg::KeyBacktick, "KeyBacktick", "反引号", "Backtick"},
    {Msg::KeyComma, "KeyComma", "逗号", "Comma"},
    {Msg::KeyPeriod, "KeyPeriod", "句号", "Period"},
    {Msg::KeySlash, "KeySlash", "斜杠", "Slash"},
    {Msg::KeyNumLock, "KeyNumLock", "数字锁定", "Num Lock"},
    {Msg::KeyAsterisk, "KeyAsterisk", "星号", "Asterisk"},
    {Msg::KeyPlus, "KeyPlus", "加号", "Plus"},
    {Msg::KeyDecimal, "KeyDecimal", "小数点", "Decimal"},
    {Msg::SaveProfile, "SaveProfile", "保存配置…", "Save profile…"},
    {Msg::LoadProfile, "LoadProfile", "载入配置…", "Load profile…"},
    {Msg::ProfileFileFilter, "ProfileFileFilter", "配置文件", "Profiles"},
    {Msg::ProfileSaved, "ProfileSaved", "配置已保存到 %1", "Saved the profile to %1"},
    {Msg::ProfileSaveFailed, "ProfileSaveFailed", "无法保存配置 %1：%2", "Cannot save the profile %1: %2"},
    {Msg::ProfileSwitchUnknown, "ProfileSwitchUnknown", "本窗口启动以来没有写入开关 %1，配置中没有它",
     "Switch %1 was not written since this window started: the profile leaves it out"},
    {Msg::ProfileLongPressUnknown, "ProfileLongPressUnknown", "本窗口启动以来没有写入长按设置，配置中记为长按无效",
     "The long-press setting was not written since this window started: the profile says off"},
    {Msg::ProfileDelayUnknown, "ProfileDelayUnknown",
     "本窗口启动以来没有写入按键延时和运行模式，配置中延时记为 0 ms，不含运行模式",
     "The key delay and the run mode were not written since this window started: the profile says 0 ms and "
     "leaves out the run mode"},
    {Msg::ProfileNote, "ProfileNote", "配置说明：%1", "Profile note: %1"},
    {Msg::ProfileUnreadable, "ProfileUnreadable", "无法读取配置，设备没有改动：%1",
     "Cannot read the profile; nothing was written to the device: %1"},
    {Msg::ProfileBroken, "ProfileBroken", "配置有误，设备没有改动：%1",
     "The profile is wrong; nothing was written to the device: %1"},
    {Msg::ProfileLoaded, "ProfileLoaded", "已载入配置 %1：%2", "Loaded the profile %1: %2"},
    {Msg::ProfileNotAllWritten, "ProfileNotAllWritten", "配置 %1 没有全部写入。已写入：%2。未写入：%3",
     "The profile %1 was not all written. Written: %2. Not written: %3"},
    {Msg::ProfileNothing, "ProfileNothing", "无", "nothing"},
    {Msg::ProfilePartSwitch, "ProfilePartSwitch", "开关 %1 = %2", "switch %1 = %2"},
    {Msg::ProfilePartDelay, "ProfilePartDelay", "按键延时 %1 ms", "key delay %1 ms"},
    {Msg::ProfilePartLongPressOn, "ProfilePartLongPressOn", "长按有效", "long press on"},
    {Msg::ProfilePartLongPressOff, "ProfilePartLongPressOff", "长按无效", "long press off"},
    {Msg::ProfilePartRunModeOn, "ProfilePartRunModeOn", "上电自动运行，%1", "power-on run on, %1 playback"},
    {Msg::ProfilePartRunModeOff, "ProfilePartRunModeOff", "上电不自动运行，%1", "power-on run off, %1 playback"},
    {Msg::ProfileLoop, "ProfileLoop", "循环播放", "loop"},
    {Msg::ProfileSingle, "ProfileSingle", "单次播放", "single"},
    {Msg::ProfileSeparator, "ProfileSeparator", "；", "; "},
    {Msg::ProfileIsVirtualFile, "ProfileIsVirtualFile", "它是%1；请给配置另起一个名字",
     "it is %1; give the profile another name"},
    {Msg::VirtualStateFile, "VirtualStateFile", "状态文件 %1", "the state file %1"},
    {Msg::VirtualStateLock, "VirtualStateLock", "状态文件的锁 %1", "the state file's lock %1"},
    {Msg::VirtualPressQueue, "VirtualPressQueue", "状态文件的踏板队列 %1", "the state file's press queue %1"},
    {Msg::VirtualCaptureFile, "VirtualCaptureFile", "捕获文件 %1", "the capture file %1"},
}};

namespace detail {
constexpr bool InIdOrder() {
    for (size_t i = 0; i < kCatalogue.size(); ++i) {
        if (static_cast<size_t>(kCatalogue[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(InIdOrder(), "the catalogue lists its entries in the order of Msg");
}  // namespace detail

constexpr const char* Text(Msg id, Language language) {
    const CatalogueEntry& e = kCatalogue[static_cast<size_t>(id)];
    return language == Language::English ? e.english : e.chinese;
}

// The text with %1, %2 ... replaced by the arguments, in one pass: an argument that itself
// holds "%2" stays as it is.
std::string Fill(std::string_view text, const std::vector<std::string>& arguments);
std::string Text(Msg id, Language language, const std::vector<std::string>& arguments);

// "zh" or "en" (also "zh_CN.UTF-8", "en_GB" and the like); nothing for other names.
std::optional<Language> LanguageFromName(std::string_view name);
const char* LanguageCode(Language language);  // "zh" or "en"

// The user guide's file in a language: guide.html (English) or guide.zh.html, side by side.
constexpr const char* GuideFileName(Language language) {
    return language == Language::English ? "guide.html" : "guide.zh.html";
}

}  // namespace treadle
