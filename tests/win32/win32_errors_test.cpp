// What the Windows back end keeps of a failing call: the system's error code for the
// trace, and after a failed open a hint that names the code, the system's text for it
// and what to do next.
#include <gtest/gtest.h>

#include <vector>

#include "fake_interfaces.h"
#include "named_pipe_printer.h"
#include "test_support.h"
#include "link/trace_backend.h"
#include "link/usb_printer_link.h"
#include "link/win32_backend.h"

namespace kestrava {
namespace {

using testing::NamedPipePrinter;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Win32Errors, HintNamesTheCodeTheSystemsTextAndANextStep) {
  struct Case {
    DWORD error;
    const char* meaning;  // empty: no hint at all
  };
  const Case cases[] = {
      {ERROR_ACCESS_DENIED, "in use by another program, or this account may not open it"},
      {ERROR_SHARING_VIOLATION, "in use by another program, or this account may not open it"},
      {ERROR_PIPE_BUSY, "in use by another program, or this account may not open it"},
      {ERROR_FILE_NOT_FOUND, "offers no printer pipes"},
      {ERROR_PATH_NOT_FOUND, "offers no printer pipes"},
      {ERROR_GEN_FAILURE, "went away while it was being opened"},
      {ERROR_DEVICE_NOT_CONNECTED, "went away while it was being opened"},
      {ERROR_INVALID_PARAMETER, "could not be opened"},
      {ERROR_SUCCESS, ""},
      {ERROR_OPERATION_ABORTED, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    std::string hint = openFailureHintFor(c.error);
    if (*c.meaning == '\0') {
      EXPECT_EQ(hint, "");
      continue;
    }
    EXPECT_TRUE(contains(hint, c.meaning)) << hint;
    EXPECT_TRUE(contains(hint, "Windows error " + std::to_string(c.error) + ", \"" + systemMessageText(c.error) + "\""))
        << hint;
  }
  EXPECT_TRUE(contains(openFailureHintFor(ERROR_FILE_NOT_FOUND), "\"USB Printing Support\""));
  EXPECT_TRUE(contains(openFailureHintFor(ERROR_GEN_FAILURE), "check its power and cable"));
}

TEST(Win32Errors, SystemTextIsTheSystemsOwnWithoutItsLineEnd) {
  // Wine and Windows both know these; the text ends without a full stop or line end.
  for (DWORD error : {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION}) {
    SCOPED_TRACE(error);
    std::string text = systemMessageText(error);
    EXPECT_NE(text, "unknown error");
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '.');
    EXPECT_NE(text.back(), '\n');
  }
  EXPECT_EQ(systemMessageText(0x2FFFFFFF), "unknown error");
}

TEST(Win32Errors, AFailedOpenKeepsTheSystemsCodeForTheHintAndTheTrace) {
  NamedPipePrinter busy(testing::emptyScenario(), "vid_232b&pid_0ef5");
  Win32Backend holder(testing::fakeInterfaces({{busy.devicePath()}}));
  UsbPrinterLink otherProgram(holder);
  ASSERT_EQ(otherProgram.open(), LinkStatus::ok);
  const std::u16string absent = busy.devicePath() + u"-absent";

  struct Case {
    const char* what;
    std::u16string path;
    DWORD error;
    const char* meaning;
  };
  const Case cases[] = {
      // A named pipe that has its one client gives ERROR_PIPE_BUSY; a real printer's pipe
      // held by another program gives a sharing violation, if its driver enforces one.
      {"held by another program", busy.devicePath(), ERROR_PIPE_BUSY, "in use by another program"},
      {"no such pipe", absent, ERROR_FILE_NOT_FOUND, "offers no printer pipes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Win32Backend backend(testing::fakeInterfaces({{c.path}}));
    std::vector<TraceEvent> events;
    TraceBackend trace(backend, [&events](const TraceEvent& event) { events.push_back(event); });
    UsbPrinterLink link(trace);
    EXPECT_EQ(link.open(), LinkStatus::pipeOpenFailed);
    EXPECT_EQ(backend.lastSystemError(), c.error);
    EXPECT_TRUE(contains(trace.openFailureHint(), c.meaning)) << trace.openFailureHint();
    EXPECT_TRUE(contains(trace.openFailureHint(), "Windows error " + std::to_string(c.error)));
    const TraceEvent* failedOpen = nullptr;
    for (const TraceEvent& event : events) {
      if (event.kind == TraceEvent::Kind::open && !event.ok) failedOpen = &event;
    }
    ASSERT_NE(failedOpen, nullptr);
    EXPECT_EQ(failedOpen->systemError, c.error);
  }

  // Once the printer is free, an open succeeds and the hint is gone.
  otherProgram.close();
  ASSERT_TRUE(busy.waitUntilClosed(1, 30000));
  Win32Backend backend(testing::fakeInterfaces({{busy.devicePath()}}));
  UsbPrinterLink link(backend);
  ASSERT_EQ(link.open(), LinkStatus::ok);
  EXPECT_EQ(backend.openFailureHint(), "");
}

TEST(Win32Errors, AWriteOrReadAfterAnInterruptFailsAsCancelled) {
  NamedPipePrinter printer(testing::emptyScenario(), "vid_232b&pid_0ef5");
  Win32Backend backend(testing::fakeInterfaces({{printer.devicePath()}}));
  std::vector<TraceEvent> events;
  TraceBackend trace(backend, [&events](const TraceEvent& event) { events.push_back(event); });
  UsbPrinterLink link(trace);
  ASSERT_EQ(link.open(), LinkStatus::ok);
  backend.interrupt();
  std::uint8_t byte = 0;
  std::uint32_t got = 0;
  EXPECT_EQ(link.write(&byte, 1), LinkStatus::writeFailed);
  EXPECT_EQ(link.read(&byte, 1, got, 60000), LinkStatus::readFailed);
  // Every write and read after the interrupt (the link may read first what came late).
  unsigned writes = 0, reads = 0;
  for (const TraceEvent& event : events) {
    if (event.kind == TraceEvent::Kind::open || event.kind == TraceEvent::Kind::listedInterface) continue;
    (event.kind == TraceEvent::Kind::write ? writes : reads) += 1;
    EXPECT_FALSE(event.ok);
    EXPECT_EQ(event.systemError, static_cast<std::uint32_t>(ERROR_OPERATION_ABORTED));
  }
  EXPECT_EQ(writes, 1u);
  EXPECT_GE(reads, 1u);
}

TEST(Win32Errors, APrinterOnAnotherDriverIsNamedWithItsDriver) {
  struct Case {
    const char* what;
    std::vector<VendorDevice> devices;
    const char* hint;
  };
  const Case cases[] = {
      {"none", {}, ""},
      {"a maker's driver",
       {{u"USB\\VID_232B&PID_0EF5&REV_0100", u"Laser 5100", u"vendorusb"}},
       "a printer of vendor 0x232B (Laser 5100) is attached but driven by \"vendorusb\", not USB Printing Support; "
       "Kestrava reads a printer only through USB Printing Support (see README.txt)"},
      {"no driver and no description",
       {{u"USB\\VID_232B&PID_0EF6", u"", u""}},
       "a printer of vendor 0x232B (USB\\VID_232B&PID_0EF6) is attached but driven by no driver, not USB Printing "
       "Support; Kestrava reads a printer only through USB Printing Support (see README.txt)"},
      {"two",
       {{u"USB\\VID_232B&PID_0EF5", u"A", u"x"}, {u"USB\\VID_232B&PID_0EF6", u"B", u"y"}},
       "a printer of vendor 0x232B (A) is attached but driven by \"x\", not USB Printing Support; "
       "a printer of vendor 0x232B (B) is attached but driven by \"y\", not USB Printing Support; "
       "Kestrava reads a printer only through USB Printing Support (see README.txt)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(otherDriverHint(c.devices), c.hint);
  }
}

TEST(Win32Errors, TheSystemListsNoPrinterOfTheVendorOnAnotherDriverHere) {
  // Wine's SetupAPI has no USB devices; a machine with such a printer attached would.
  std::vector<VendorDevice> devices = vendorDevicesOnOtherDrivers();
  if (!devices.empty()) GTEST_SKIP() << "a device of the vendor is attached";
  EXPECT_EQ(otherDriverHint(devices), "");
}

}  // namespace
}  // namespace kestrava
