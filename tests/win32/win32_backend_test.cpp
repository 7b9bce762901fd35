// The Windows back end on real pipe handles: a virtual printer behind two named pipes,
// found through made-up SetupAPI interfaces, and the system's own SetupAPI.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "device/printer_device.h"
#include "fake_interfaces.h"
#include "named_pipe_printer.h"
#include "test_support.h"
#include "link/usb_printer_link.h"
#include "link/win32_backend.h"
#include "link/win32_device_interfaces.h"

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::FakeInterface;
using testing::NamedPipePrinter;

virtualprinter::Scenario mutePrinter() {
  virtualprinter::Scenario scenario = testing::emptyScenario();
  scenario.faults.push_back(virtualprinter::makeFault(virtualprinter::FaultKind::noReply));
  return scenario;
}

TEST(Win32Backend, DevicePathsSurviveLongAndUnreadableInterfaces) {
  std::u16string ours = u"\\\\?\\usb#vid_232b&pid_0ef5#8&1&0000#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  std::u16string longOurs = u"\\\\?\\usb#" + std::u16string(140, u'x') + u"#vid_232b&pid_0ef5#{guid}";
  testing::FakeInterfaceList interfaces({
      {testing::longOtherPath()},
      {u"\\\\?\\usb#vid_1111&pid_2222#broken", true},
      {ours},
      {longOurs},
  });
  EXPECT_EQ(readDevicePaths(interfaces), (std::vector<std::u16string>{testing::longOtherPath(), ours, longOurs}));
}

TEST(Win32Backend, OpenFindsTheFirstPrinterOfTheVendor) {
  NamedPipePrinter printer(testing::emptyScenario(0x0EF5), "vid_232b&pid_0ef5");
  NamedPipePrinter longPrinter(testing::emptyScenario(0x0EA1), std::string(120, 'x') + "-vid_232b&pid_0ea1");
  NamedPipePrinter second(testing::emptyScenario(0x0EF6), "vid_232b&pid_0ef6");
  struct Case {
    const char* what;
    std::vector<FakeInterface> interfaces;
    LinkStatus status;
    std::uint32_t usbId;
    NamedPipePrinter* opened;
  };
  const Case cases[] = {
      {"a long path of another vendor first",
       {{testing::longOtherPath()}, {printer.devicePath()}},
       LinkStatus::ok,
       0x232B0EF5,
       &printer},
      {"an unreadable interface first",
       {{u"\\\\?\\usb#broken", true}, {printer.devicePath()}},
       LinkStatus::ok,
       0x232B0EF5,
       &printer},
      {"the printer's own path is long", {{longPrinter.devicePath()}}, LinkStatus::ok, 0x232B0EA1, &longPrinter},
      {"two printers: the first one",
       {{second.devicePath()}, {printer.devicePath()}},
       LinkStatus::ok,
       0x232B0EF6,
       &second},
      {"another vendor only", {{testing::longOtherPath()}}, LinkStatus::noPrinter, 0, nullptr},
      {"no interface at all", {}, LinkStatus::noPrinter, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    unsigned before = c.opened ? c.opened->sessions() : 0;
    Win32Backend backend(testing::fakeInterfaces(c.interfaces));
    UsbPrinterLink link(backend);
    ASSERT_EQ(link.open(), c.status);
    EXPECT_EQ(link.usbId(), c.usbId);
    EXPECT_EQ(link.connected(), c.status == LinkStatus::ok);
    link.close();
    // The printer saw the host open and close both pipes.
    if (c.opened) {
      EXPECT_TRUE(c.opened->waitUntilClosed(before + 1, 30000));
    }
  }
}

TEST(Win32Backend, BusyPrinterIsAPipeFailureAndALaterMatchIsNotTried) {
  NamedPipePrinter busy(testing::emptyScenario(), "vid_232b&pid_0ef5");
  NamedPipePrinter later(testing::emptyScenario(), "vid_232b&pid_0ef5");
  Win32Backend holder(testing::fakeInterfaces({{busy.devicePath()}}));
  UsbPrinterLink otherProgram(holder);
  ASSERT_EQ(otherProgram.open(), LinkStatus::ok);

  Win32Backend backend(testing::fakeInterfaces({{busy.devicePath()}, {later.devicePath()}}));
  UsbPrinterLink link(backend);
  EXPECT_EQ(link.open(), LinkStatus::pipeOpenFailed);
  EXPECT_FALSE(link.connected());
  EXPECT_EQ(link.usbId(), 0u);
  EXPECT_FALSE(later.waitUntilClosed(1, 300));
  EXPECT_EQ(later.sessions(), 0u);
}

TEST(Win32Backend, WholeProtocolThroughThePipes) {
  NamedPipePrinter printer(virtualprinter::healthyMonoPrinter(), "vid_232b&pid_0ef5");
  Win32Backend backend(testing::fakeInterfaces({{testing::longOtherPath()}, {printer.devicePath()}}));
  testing::expectWholeProtocol(backend);
  EXPECT_TRUE(printer.printer().protocolErrors().empty());
  EXPECT_EQ(printer.printer().requestCount(), 2u);
}

TEST(Win32Backend, ReadGivesWhatArrivedAndATimedOutReadLeavesTheLinkUsable) {
  virtualprinter::Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.staleBytes = "stale!";
  NamedPipePrinter printer(scenario, "vid_232b&pid_0ef5");
  Win32Backend backend(testing::fakeInterfaces({{printer.devicePath()}}));
  PrinterDevice device(backend);
  ASSERT_EQ(device.link().open(), LinkStatus::ok);

  std::uint8_t buffer[1024];
  std::uint32_t got = 0;
  // Fewer bytes than wanted: the read completes with what the printer sent, as soon as it
  // is there (the printer's thread sends it once the host has connected).
  ASSERT_EQ(device.link().read(buffer, sizeof buffer, got, 30000), LinkStatus::ok);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), got), "stale!");

  Clock::time_point start = Clock::now();
  EXPECT_EQ(device.link().read(buffer, sizeof buffer, got, 50), LinkStatus::readFailed);
  Clock::duration waited = Clock::now() - start;
  EXPECT_GE(waited, 40ms);
  EXPECT_LT(waited, 5s);

  // The cancelled read took nothing away: the next exchange is whole.
  std::u16string version;
  EXPECT_EQ(device.queryOid("OID_PLATFORM_FW_VERSION", 0, version), ResultCode::noError);
  EXPECT_EQ(version, u"3.3.8.1");
  EXPECT_TRUE(printer.printer().protocolErrors().empty());
}

TEST(Win32Backend, InterruptCutsAWaitingReadShortAndEveryLaterOperation) {
  NamedPipePrinter printer(mutePrinter(), "vid_232b&pid_0ef5");
  Win32Backend backend(testing::fakeInterfaces({{printer.devicePath()}}));
  UsbPrinterLink link(backend);
  ASSERT_EQ(link.open(), LinkStatus::ok);

  // The reads are given a minute: one that is not cut short outlasts every bound below
  // many times over.
  constexpr std::uint32_t kLongReadMs = 60000;
  // Most likely the read below already waits when the interrupt comes; if this thread is
  // late, the interrupt comes first, and the read must fail at once all the same.
  std::thread closing([&backend] {
    std::this_thread::sleep_for(100ms);
    backend.interrupt();
  });
  std::uint8_t buffer[16];
  std::uint32_t got = 0;
  Clock::time_point start = Clock::now();
  EXPECT_EQ(link.read(buffer, sizeof buffer, got, kLongReadMs), LinkStatus::readFailed);
  EXPECT_LT(Clock::now() - start, 10s);
  closing.join();

  start = Clock::now();
  std::uint8_t byte = 0;
  EXPECT_EQ(link.write(&byte, 1), LinkStatus::writeFailed);
  EXPECT_EQ(link.read(buffer, sizeof buffer, got, kLongReadMs), LinkStatus::readFailed);
  EXPECT_LT(Clock::now() - start, 10s);
  link.close();
  EXPECT_EQ(link.open(), LinkStatus::pipeOpenFailed);
}

TEST(Win32Backend, InterruptCutsAWriteToAPrinterThatStoppedReading) {
  NamedPipePrinter printer(testing::emptyScenario(), "vid_232b&pid_0ef5", testing::PrinterInput::stopsReading);
  Win32Backend backend(testing::fakeInterfaces({{printer.devicePath()}}));
  std::unique_ptr<UsbPipe> pipe = backend.openPipe(printer.devicePath(), PipeEnd::write);
  ASSERT_NE(pipe, nullptr);
  // Far more than any pipe holds: the write waits for a reader that never comes.
  std::vector<std::uint8_t> bytes(4 << 20, 0x55);
  std::atomic<bool> returned{false};
  long long written = 0;
  std::thread writer([&] {
    written = pipe->write(bytes.data(), bytes.size());
    returned = true;
  });
  // The write has begun and waits: the pipe holds bytes, and far fewer than were given.
  ASSERT_TRUE(printer.waitForBytesWaiting(30000));
  EXPECT_FALSE(returned);
  Clock::time_point start = Clock::now();
  backend.interrupt();
  writer.join();
  EXPECT_LT(Clock::now() - start, 10s);
  EXPECT_TRUE(returned);
  EXPECT_EQ(written, -1);
  EXPECT_EQ(backend.lastSystemError(), static_cast<std::uint32_t>(ERROR_OPERATION_ABORTED));
}

// The system's own SetupAPI on an interface made in a device information set of our own
// (never registered, so it is gone with the set): SetupAPI fills in a detail record only
// when its size field holds the size it was built for, 6 bytes on 32-bit Windows and 8
// on 64-bit, so a record laid out for the other would hide every printer.
TEST(Win32Backend, SystemSetupApiGivesThePathOfAnInterfaceInASetOfOurOwn) {
  EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W), sizeof(void*) == 4 ? 6u : 8u);
  HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  std::unique_ptr<DeviceInterfaceList> interfaces = usbPrintInterfacesOf(set);
  // GUID_DEVCLASS_PRINTER
  const GUID printerClass = {0x4D36E979, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  ASSERT_TRUE(
      SetupDiCreateDeviceInfoW(set, L"KestravaTestPrinter", &printerClass, nullptr, nullptr, DICD_GENERATE_ID, &device))
      << GetLastError();
  SP_DEVICE_INTERFACE_DATA created{};
  created.cbSize = sizeof created;
  ASSERT_TRUE(SetupDiCreateDeviceInterfaceW(set, &device, &kUsbPrintInterfaceClass, L"vid_232b&pid_0ef5", 0, &created))
      << GetLastError();

  std::vector<std::u16string> paths = readDevicePaths(*interfaces);
  ASSERT_EQ(paths.size(), 1u);
  std::u16string lower;
  for (char16_t c : paths[0]) lower += (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
  EXPECT_NE(lower.find(u"kestravatestprinter"), std::u16string::npos);
  EXPECT_NE(lower.find(UsbPrinterLink::defaultPathFilter), std::u16string::npos);
}

TEST(Win32Backend, SystemEnumerationWithoutOurPrinterFindsNone) {
  // Wine (and a machine without such a printer) lists no interface of the vendor.
  std::unique_ptr<DeviceInterfaceList> interfaces = openUsbPrintInterfaces();
  ASSERT_NE(interfaces, nullptr);
  bool ours = false;
  for (const std::u16string& path : readDevicePaths(*interfaces)) {
    EXPECT_FALSE(path.empty());
    ours = ours || path.find(UsbPrinterLink::defaultPathFilter) != std::u16string::npos;
  }
  if (ours) GTEST_SKIP() << "a printer of the vendor is attached";
  Win32Backend backend;
  UsbPrinterLink link(backend);
  EXPECT_EQ(link.open(), LinkStatus::noPrinter);
}

}  // namespace
}  // namespace kestrava
