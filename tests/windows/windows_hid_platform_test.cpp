// The Windows HID layer against a script of the Win32 calls: what it passes, how it reads
// the answers, and that it leaves nothing open or in flight.
#include "device/windows_hid_platform.h"

#include "support/fakes.h"
#include "windows/fake_win32_hid_calls.h"

#include <gtest/gtest.h>

#include <array>

namespace treadle::testing {
namespace {

constexpr USAGE kGenericDesktop = 0x01;
constexpr USAGE kMouse = 0x02;
constexpr USAGE kKeyboard = 0x06;
constexpr USAGE kVendorPage = 0xFF00;

// The foot switch as Windows shows it: keyboard and mouse collections that Windows holds, and
// the configuration collection with 8-byte reports.
std::vector<FakeInterface> FootSwitchInterfaces() {
    auto keyboard = MakeInterface(R"(\\?\hid#vid_2704&pid_2018&mi_00#a)", kGenericDesktop, kKeyboard, 9, 2);
    keyboard.openError = ERROR_ACCESS_DENIED;
    auto mouse = MakeInterface(R"(\\?\hid#vid_2704&pid_2018&mi_01#b)", kGenericDesktop, kMouse, 5, 0);
    mouse.openError = ERROR_ACCESS_DENIED;
    auto config = MakeInterface(R"(\\?\hid#vid_2704&pid_2018&mi_02#c)", kVendorPage, 0x01, 8, 8);
    return {keyboard, mouse, config};
}

class WindowsHidPlatformTest : public ::testing::Test {
  protected:
    WindowsHidPlatformTest() {
        auto owned = std::make_unique<FakeWin32HidCalls>();
        calls = owned.get();
        calls->interfaces = FootSwitchInterfaces();
        platform = std::make_unique<WindowsHidPlatform>(std::move(owned));
    }

    HidHandle OpenConfig() {
        const OpenResult opened = platform->OpenReadWrite(calls->interfaces[2].path);
        EXPECT_TRUE(opened.ok()) << opened.error;
        return opened.handle;
    }

    FakeWin32HidCalls* calls;
    std::unique_ptr<WindowsHidPlatform> platform;
};

TEST_F(WindowsHidPlatformTest, EnumerationListsEveryPathInOrderAndEndsAtNoMoreItems) {
    const std::vector<std::string> paths = platform->EnumerateInterfaces();
    ASSERT_EQ(paths.size(), 3u);
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(paths[i], calls->interfaces[i].path);
    }
    // Indices 0..2 and the one that ends the list; every record sized for this build.
    EXPECT_EQ(calls->interfaceDataSizes, std::vector<DWORD>(4, sizeof(SP_DEVICE_INTERFACE_DATA)));
    EXPECT_EQ(calls->detailRecordSizes, std::vector<DWORD>(3, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)));
    EXPECT_EQ(calls->listsMade, 1);
    EXPECT_EQ(calls->listsDestroyed, 1);
}

TEST_F(WindowsHidPlatformTest, DetailRecordHasTheFixedPartOfThisBuild) {
    // The 32-bit record's fixed part is 5 bytes; a 64-bit program must say 8, or SetupAPI
    // refuses the record.
    EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), sizeof(void*) == 8 ? 8u : 5u);
    EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DATA), sizeof(void*) == 8 ? 32u : 28u);
}

TEST_F(WindowsHidPlatformTest, NoInterfacesAndNoListGiveAnEmptyEnumeration) {
    calls->interfaces.clear();
    EXPECT_TRUE(platform->EnumerateInterfaces().empty());
    EXPECT_EQ(calls->listsDestroyed, 1);

    calls->classDevsFail = true;
    EXPECT_TRUE(platform->EnumerateInterfaces().empty());
    EXPECT_EQ(calls->listsMade, 1);  // nothing made, nothing to destroy
    EXPECT_EQ(calls->listsDestroyed, 1);
}

TEST(DevicePathOfDetail, ReadsNoFurtherThanTheRecord) {
    alignas(8) std::array<char, 16> storage{};
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    constexpr size_t kOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    std::fill(storage.begin() + kOffset, storage.end(), 'x');  // no NUL anywhere
    EXPECT_EQ(DevicePathOfDetail(detail, 16), std::string(16 - kOffset, 'x'));
    EXPECT_EQ(DevicePathOfDetail(detail, kOffset + 3), "xxx");
    storage[kOffset + 2] = '\0';
    EXPECT_EQ(DevicePathOfDetail(detail, 16), "xx");
    EXPECT_EQ(DevicePathOfDetail(detail, kOffset), "");
    EXPECT_EQ(DevicePathOfDetail(nullptr, 16), "");
}

struct OpenCase {
    const char* name;
    USAGE page;
    USAGE usage;
    DWORD openError;
    OpenFailure expected;
    const char* errorPart;
};

class WindowsOpening : public ::testing::TestWithParam<OpenCase> {};

TEST_P(WindowsOpening, MapsTheSystemsAnswer) {
    const OpenCase& c = GetParam();
    auto owned = std::make_unique<FakeWin32HidCalls>();
    FakeWin32HidCalls& calls = *owned;
    auto i = MakeInterface(R"(\\?\hid#x)", c.page, c.usage, 8, 8);
    i.openError = c.openError;
    calls.interfaces = {i};
    WindowsHidPlatform platform(std::move(owned));

    const OpenResult opened = OpenForWriting(platform, i.path);
    EXPECT_EQ(opened.failure, c.expected) << opened.error;
    EXPECT_NE(opened.error.find(c.errorPart), std::string::npos) << opened.error;
    EXPECT_FALSE(opened.ok());
    EXPECT_EQ(calls.OpenHandles(), 0);  // a refused collection that did open is closed again
}

INSTANTIATE_TEST_SUITE_P(
    Answers, WindowsOpening,
    ::testing::Values(OpenCase{"KeyboardHeldByWindows", kGenericDesktop, kKeyboard, ERROR_ACCESS_DENIED,
                               OpenFailure::Refused, "is a keyboard"},
                      OpenCase{"MouseHeldByWindows", kGenericDesktop, kMouse, ERROR_ACCESS_DENIED, OpenFailure::Refused,
                               "is a mouse"},
                      // Wine (and some setups) let a keyboard be opened: it is still not written to.
                      OpenCase{"KeyboardThatOpens", kGenericDesktop, kKeyboard, 0, OpenFailure::Refused,
                               "is a keyboard"},
                      OpenCase{"MouseThatOpens", kGenericDesktop, kMouse, 0, OpenFailure::Refused, "is a mouse"},
                      // Not a permission the user could be given: another program holds the collection.
                      OpenCase{"VendorCollectionInUse", kVendorPage, 1, ERROR_SHARING_VIOLATION, OpenFailure::Other,
                               "another program"},
                      OpenCase{"VendorCollectionDenied", kVendorPage, 1, ERROR_ACCESS_DENIED, OpenFailure::Other,
                               "Access is denied. (error 5)"},
                      OpenCase{"Unplugged", kVendorPage, 1, ERROR_DEVICE_NOT_CONNECTED, OpenFailure::Gone, "is gone"},
                      OpenCase{"PathGone", kVendorPage, 1, ERROR_FILE_NOT_FOUND, OpenFailure::Gone,
                               "The system cannot find the file specified. (error 2)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsHidPlatformTest, ConfigurationCollectionOpensOverlappedForReadingAndWriting) {
    const HidHandle handle = OpenConfig();
    const auto& opening = calls->openings.back();
    EXPECT_EQ(opening.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(opening.share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(opening.flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));

    HidAttributes ids;
    ASSERT_TRUE(platform->GetAttributes(handle, ids));
    EXPECT_EQ(ids.vendorId, 0x2704);
    EXPECT_EQ(ids.productId, 0x2018);
    HidCaps caps;
    ASSERT_TRUE(platform->GetCaps(handle, caps));
    EXPECT_EQ(caps.inputReportLength, 8);
    EXPECT_EQ(caps.outputReportLength, 8);
    EXPECT_EQ(caps.usagePage, kVendorPage);
    EXPECT_EQ(calls->preparsedOut, 0);  // every preparsed record freed

    EXPECT_EQ(calls->OpenHandles(), 2);  // the file and its event
    EXPECT_TRUE(platform->Close(handle));
    EXPECT_EQ(calls->OpenHandles(), 0);
    EXPECT_FALSE(platform->Close(handle));
}

TEST_F(WindowsHidPlatformTest, CapsMapEveryField) {
    HIDP_CAPS& caps = calls->interfaces[2].caps;
    caps.InputReportByteLength = 65;
    caps.OutputReportByteLength = 33;
    caps.FeatureReportByteLength = 17;
    caps.UsagePage = 0xFFA0;
    caps.Usage = 0x0C;
    HidCaps peeked;
    ASSERT_TRUE(platform->PeekCaps(calls->interfaces[2].path, peeked));
    EXPECT_EQ(peeked.inputReportLength, 65);
    EXPECT_EQ(peeked.outputReportLength, 33);
    EXPECT_EQ(peeked.featureReportLength, 17);
    EXPECT_EQ(peeked.usagePage, 0xFFA0);
    EXPECT_EQ(peeked.usage, 0x0C);
    // Peeking opens with access 0 only, and closes again.
    EXPECT_EQ(calls->openings.back().access, 0u);
    EXPECT_EQ(calls->OpenHandles(), 0);
}

TEST_F(WindowsHidPlatformTest, PeekingTellsWhatAHeldKeyboardIs) {
    HidAttributes ids;
    ASSERT_TRUE(platform->PeekAttributes(calls->interfaces[0].path, ids));
    EXPECT_EQ(ids.vendorId, 0x2704);
    HidCaps caps;
    ASSERT_TRUE(platform->PeekCaps(calls->interfaces[0].path, caps));
    EXPECT_EQ(caps.usage, kKeyboard);
    EXPECT_FALSE(platform->PeekCaps(R"(\\?\hid#nothing)", caps));
    EXPECT_EQ(calls->OpenHandles(), 0);
}

TEST_F(WindowsHidPlatformTest, UnreadableAttributesOrCapsAreReportedAsSuch) {
    calls->interfaces[2].attributesFail = true;
    calls->interfaces[2].capsFail = true;
    const HidHandle handle = OpenConfig();
    HidAttributes ids;
    HidCaps caps;
    EXPECT_FALSE(platform->GetAttributes(handle, ids));
    EXPECT_FALSE(platform->GetCaps(handle, caps));
    EXPECT_EQ(calls->preparsedOut, 0);
}

struct WriteCase {
    const char* name;
    TransferStep step;
    int written;
    const char* errorPart;  // empty: no error
    std::vector<std::string> calls;
};

class WindowsWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WindowsWrite, EndsEveryWriteBeforeReturning) {
    const WriteCase& c = GetParam();
    auto owned = std::make_unique<FakeWin32HidCalls>();
    FakeWin32HidCalls& calls = *owned;
    calls.interfaces = FootSwitchInterfaces();
    WindowsHidPlatform platform(std::move(owned));
    const OpenResult opened = platform.OpenReadWrite(calls.interfaces[2].path);
    ASSERT_TRUE(opened.ok());
    calls.transfers.push_back(c.step);

    const std::array<std::uint8_t, 8> report{0x00, 0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00};
    const WriteResult result = platform.Write(opened.handle, report);
    EXPECT_EQ(result.written, c.written);
    if (std::string(c.errorPart).empty()) {
        EXPECT_EQ(result.error, "");
    } else {
        EXPECT_NE(result.error.find(c.errorPart), std::string::npos) << result.error;
    }
    EXPECT_EQ(calls.calls, c.calls);
    EXPECT_FALSE(calls.TransferInFlight());
    ASSERT_EQ(calls.written.size(), 1u);
    EXPECT_EQ(calls.written[0], std::vector<std::uint8_t>(report.begin(), report.end()));
}

TransferStep Step(TransferScript script, DWORD errorCode = 0, DWORD bytes = ~DWORD{0}) {
    return TransferStep{script, errorCode, bytes, {}};
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, WindowsWrite,
    ::testing::Values(
        WriteCase{"AtOnce", Step(TransferScript::AtOnce), 8, "", {"WriteFile", "GetOverlappedResult"}},
        WriteCase{
            "PendingThenDone", Step(TransferScript::Pending), 8, "", {"WriteFile", "Wait 1000", "GetOverlappedResult"}},
        // A device pulled out in the middle of a write: given up after a second, and the
        // cancellation awaited before the report's memory goes.
        WriteCase{"StalledIsCancelledAfterOneSecond",
                  Step(TransferScript::Stall),
                  0,
                  "did not take the report within 1000 ms",
                  {"WriteFile", "Wait 1000", "CancelIo", "GetOverlappedResult wait"}},
        WriteCase{"DoneJustBeforeTheCancellation",
                  Step(TransferScript::LateFinish),
                  8,
                  "",
                  {"WriteFile", "Wait 1000", "CancelIo", "GetOverlappedResult wait"}},
        WriteCase{"RejectedByTheDriver",
                  Step(TransferScript::Fails, ERROR_INVALID_PARAMETER),
                  0,
                  "writing the report failed: The parameter is incorrect. (error 87)",
                  {"WriteFile"}},
        WriteCase{"UnknownCodeIsStillNamed",
                  Step(TransferScript::Fails, 1167),
                  0,
                  "writing the report failed: error 1167",
                  {"WriteFile"}},
        WriteCase{"WaitFails",
                  Step(TransferScript::WaitFails, ERROR_INVALID_HANDLE),
                  0,
                  "waiting for writing the report failed: error 6",
                  {"WriteFile", "Wait 1000", "CancelIo", "GetOverlappedResult wait"}},
        WriteCase{"Short",
                  Step(TransferScript::Pending, 0, 5),
                  5,
                  "short write: 5 of 8 bytes",
                  {"WriteFile", "Wait 1000", "GetOverlappedResult"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsHidPlatformTest, WritesToAHandleThatIsNotOpenFail) {
    const std::array<std::uint8_t, 2> report{0, 0xAA};
    EXPECT_NE(platform->Write(42, report).error, "");
    EXPECT_TRUE(calls->calls.empty());
}

TEST_F(WindowsHidPlatformTest, ReadsDeliverTheReportWithItsIdByteFirst) {
    const HidHandle handle = OpenConfig();
    calls->transfers.push_back({TransferScript::Pending, 0, 8, {0x00, 1, 2, 3, 4, 5, 6, 0x0A}});
    std::array<std::uint8_t, 8> buffer{};
    const ReadResult read = platform->ReadTimed(handle, buffer, 100);
    EXPECT_EQ(read.status, ReadStatus::Completed);
    EXPECT_EQ(read.bytesRead, 8);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 8>{0x00, 1, 2, 3, 4, 5, 6, 0x0A}));
    EXPECT_EQ(calls->calls, (std::vector<std::string>{"ReadFile", "Wait 100", "GetOverlappedResult"}));
}

TEST_F(WindowsHidPlatformTest, ReadThatTimesOutIsCancelledAndAwaited) {
    const HidHandle handle = OpenConfig();
    calls->transfers.push_back(Step(TransferScript::Stall));
    std::array<std::uint8_t, 8> buffer{};
    const ReadResult read = platform->ReadTimed(handle, buffer, 100);
    EXPECT_EQ(read.status, ReadStatus::TimedOut);
    EXPECT_EQ(read.bytesRead, 0);
    EXPECT_EQ(calls->calls, (std::vector<std::string>{"ReadFile", "Wait 100", "CancelIo", "GetOverlappedResult wait"}));
    EXPECT_FALSE(calls->TransferInFlight());
}

TEST_F(WindowsHidPlatformTest, ReadThatFailsCarriesTheSystemsCode) {
    const HidHandle handle = OpenConfig();
    calls->transfers.push_back(Step(TransferScript::Fails, ERROR_DEVICE_NOT_CONNECTED));
    std::array<std::uint8_t, 8> buffer{};
    const ReadResult read = platform->ReadTimed(handle, buffer, 100);
    EXPECT_EQ(read.status, ReadStatus::Failed);
    EXPECT_EQ(read.errorCode, static_cast<std::uint32_t>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_NE(read.error.find("reading an input report failed"), std::string::npos) << read.error;

    calls->transfers.push_back(Step(TransferScript::WaitFails, ERROR_INVALID_HANDLE));
    const ReadResult waited = platform->ReadTimed(handle, buffer, 100);
    EXPECT_EQ(waited.status, ReadStatus::Failed);
    EXPECT_EQ(waited.errorCode, static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(calls->TransferInFlight());
}

TEST_F(WindowsHidPlatformTest, ErrorTextsLoseTheirClosingLineBreakAndUnknownCodesGiveNothing) {
    EXPECT_EQ(platform->ErrorText(2), "The system cannot find the file specified.");
    EXPECT_EQ(platform->ErrorText(99999), "");
}

TEST_F(WindowsHidPlatformTest, TheWindowConnectsToTheConfigurationCollectionAndKeepsHandlesFlat) {
    WindowFixture f(*platform);
    f.window->Timer1_Timer();
    EXPECT_EQ(f.window->Label3.Text(), "设备连接成功！");
    EXPECT_EQ(f.window->DevicePath, calls->interfaces[2].path);
    EXPECT_EQ(f.window->OutputReportLength, 8);
    // Two handles (write and read), each with its event.
    EXPECT_EQ(calls->OpenHandles(), 4);
    for (int tick = 0; tick < 200; ++tick) {
        f.window->Timer1_Timer();
    }
    EXPECT_EQ(calls->OpenHandles(), 4);
    EXPECT_EQ(calls->listsMade, calls->listsDestroyed);

    // A key click writes its three reports through the connection.
    f.window->Command_key_Click(0);
    EXPECT_EQ(calls->written.size(), 3u);

    f.window->Form_Unload();
    EXPECT_EQ(calls->OpenHandles(), 0);
}

TEST_F(WindowsHidPlatformTest, AWriteThatStallsIsLoggedAsAFailedWrite) {
    WindowFixture f(*platform);
    f.window->Timer1_Timer();
    calls->transfers.push_back(Step(TransferScript::Stall));
    f.window->Command_key_Click(0);
    const auto& lines = f.window->lstResults.Items();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("写入失败，请检查设备连接。"), std::string::npos) << lines.back();
}

}  // namespace
}  // namespace treadle::testing
