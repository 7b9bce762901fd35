// The link over the virtual printer: finding the printer, the id parse, statuses, drain.
#include <gtest/gtest.h>

#include "base/text_codec.h"
#include "test_support.h"
#include "link/usb_printer_link.h"

namespace kestrava {
namespace {

using virtualprinter::Scenario;

TEST(UsbIdParse, ReadsVendorAndProductAfterTheFilterMatch) {
  struct Case {
    std::u16string path;
    std::uint32_t usbId;
  };
  const Case cases[] = {
      {u"\\\\?\\usb#vid_232b&pid_0ef5#5&1a2b#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", 0x232B0EF5},
      {u"vid_232b&pid_A42E", 0x232BA42E},           // upper-case digits read as hex
      {u"vid_232b&pid_0e", 0x232B000E},             // path ends inside the product id
      {u"vid_232b", 0x232B0000},                    // ends right after the match
      {u"vid_232b&pid_0g12", 0x232B0000},           // reading stops at the first non-digit
      {u"xx vid_232b#mi_00&pid_1234", 0x232B0000},  // nothing at the product position
      {u"vid_232bXpid_ffff#", 0x232BFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.path));
    EXPECT_EQ(parseUsbId(c.path, c.path.find(u"vid_232b")), c.usbId);
  }
}

TEST(LinkOpen, FindsThePrinterAndSetsItsId) {
  VirtualBackend backend(testing::emptyScenario(0x0EF5));
  UsbPrinterLink link(backend);
  EXPECT_FALSE(link.connected());
  EXPECT_EQ(link.usbId(), 0u);
  ASSERT_EQ(link.open(), LinkStatus::ok);
  EXPECT_TRUE(link.connected());
  EXPECT_EQ(link.usbId(), 0x232B0EF5u);
  // A second open changes nothing and opens nothing.
  EXPECT_EQ(link.open(), LinkStatus::ok);
  EXPECT_EQ(backend.printer().sessions(), 1u);
  link.close();
  EXPECT_FALSE(link.connected());
  EXPECT_EQ(link.usbId(), 0u);
  link.close();  // harmless on a closed link
}

TEST(LinkOpen, StatusesOfEveryWayToFail) {
  struct Case {
    const char* name;
    Scenario scenario;
    LinkStatus status;
  };
  Scenario otherVendor = testing::emptyScenario();
  otherVendor.vendorId = 0x04F9;
  Scenario writeFails = testing::emptyScenario();
  writeFails.openFails = "write";
  Scenario readFails = testing::emptyScenario();
  readFails.openFails = "read";
  Scenario upperCase = testing::emptyScenario();
  upperCase.devicePath = "\\\\?\\USB#VID_232B&PID_0EF5#1";  // the filter is case-sensitive
  Scenario firstMatchBusy = testing::emptyScenario();
  // An earlier interface of the vendor whose pipes cannot be opened: the later,
  // healthy one is never tried.
  firstMatchBusy.otherInterfaces = {"\\\\?\\usb#vid_04f9&pid_0001#1", "\\\\?\\usb#vid_232b&pid_0ec4#busy"};

  const Case cases[] = {
      {"another vendor only", otherVendor, LinkStatus::noPrinter},
      {"upper-case path", upperCase, LinkStatus::noPrinter},
      {"write pipe cannot open", writeFails, LinkStatus::pipeOpenFailed},
      {"read pipe cannot open", readFails, LinkStatus::pipeOpenFailed},
      {"first matching interface busy", firstMatchBusy, LinkStatus::pipeOpenFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualBackend backend(c.scenario);
    UsbPrinterLink link(backend);
    EXPECT_EQ(link.open(), c.status);
    EXPECT_FALSE(link.connected());
    EXPECT_EQ(link.usbId(), 0u);
    std::uint8_t byte = 0;
    std::uint32_t transferred = 0;
    EXPECT_EQ(link.write(&byte, 1), LinkStatus::pipeNotOpen);
    EXPECT_EQ(link.read(&byte, 1, transferred, 10), LinkStatus::pipeNotOpen);
  }
}

TEST(LinkOpen, OtherInterfacesBeforeThePrinterAreSkipped) {
  Scenario scenario = testing::emptyScenario(0x0E20);
  scenario.otherInterfaces = {"\\\\?\\usb#vid_04f9&pid_0001#1", "\\\\?\\usb#vid_03f0&pid_0002#2"};
  VirtualBackend backend(scenario);
  UsbPrinterLink link(backend);
  ASSERT_EQ(link.open(), LinkStatus::ok);
  EXPECT_EQ(link.usbId(), 0x232B0E20u);
}

TEST(LinkDrain, DiscardsStaleBytesBeforeTheFirstRequest) {
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.staleBytes = std::string("\x00\xAC\x00\x01\x00\x01leftover", 14);
  testing::ConnectedDevice fixture(scenario);
  std::u16string version;
  EXPECT_EQ(fixture.device.queryOid("OID_PLATFORM_FW_VERSION", 0, version), ResultCode::noError);
  EXPECT_EQ(version, u"3.3.8.1");
}

TEST(LinkDrain, WithoutItStaleBytesSpoilTheFirstReply) {
  // The same printer without the drain: shows that the test above depends on it.
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.staleBytes = std::string(16, '\x55');
  testing::ConnectedDevice fixture(scenario, false);
  ASSERT_EQ(fixture.device.link().open(), LinkStatus::ok);
  std::u16string version;
  EXPECT_EQ(fixture.device.queryOid("OID_PLATFORM_FW_VERSION", 0, version), ResultCode::invalidResponse);
}

TEST(LinkDrain, IsBoundedForAPrinterThatKeepsSending) {
  Scenario scenario = testing::emptyScenario();
  scenario.staleBytes = std::string(200 * 1024, 'x');  // arrives 1024 bytes per read
  testing::ConnectedDevice fixture(scenario, false);
  ASSERT_EQ(fixture.device.link().open(), LinkStatus::ok);
  fixture.device.link().drain();
  std::size_t reads = 0;
  for (const TraceEvent& event : fixture.events) reads += event.kind == TraceEvent::Kind::read;
  EXPECT_EQ(reads, UsbPrinterLink::drainMaxReads);
  for (const TraceEvent& event : fixture.events) {
    if (event.kind == TraceEvent::Kind::read) {
      EXPECT_EQ(event.requested, 1024u);
      EXPECT_EQ(event.timeoutMs, 100u);
    }
  }
  EXPECT_TRUE(fixture.device.link().connected());
}

TEST(LinkDrain, DoesNothingOnAClosedLink) {
  Scenario scenario = testing::emptyScenario();
  scenario.staleBytes = "stale";
  testing::ConnectedDevice fixture(scenario, false);
  fixture.device.link().drain();
  EXPECT_TRUE(fixture.events.empty());
}

}  // namespace
}  // namespace kestrava
