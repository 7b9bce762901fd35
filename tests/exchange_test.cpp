// The ACL exchange and its reply check, over the virtual printer's byte protocol.
#include <gtest/gtest.h>

#include "test_support.h"

namespace kestrava {
namespace {

using virtualprinter::Fault;
using virtualprinter::FaultKind;
using virtualprinter::makeFault;
using virtualprinter::Scenario;

const std::string kPrefix("\x1b%-12345X@PJL ENTER LANGUAGE=ACL\r\n", 34);
const std::string kUel("\x1b%-12345X", 9);

TEST(Exchange, WritesPrefixBlockDataAndUelSeparately) {
  testing::ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  std::u16string value;
  ASSERT_EQ(fixture.device.queryOid("OID_PLATFORM_FW_VERSION", 0, value), ResultCode::noError);

  const std::string request = "<!--#ssi 0 OID_PLATFORM_FW_VERSION.0 -->";
  ASSERT_EQ(request.size(), 0x28u);
  ASSERT_EQ(fixture.writeSizes(), (std::vector<std::size_t>{34, 16, 40, 9}));
  EXPECT_EQ(fixture.events[0].bytes, kPrefix);
  EXPECT_EQ(testing::hex(fixture.events[1].bytes), "00ACFF21002800000000000000000000");
  EXPECT_EQ(fixture.events[2].bytes, request);
  EXPECT_EQ(fixture.events[3].bytes, kUel);
  // The reply block, then the answer of the announced length.
  EXPECT_EQ(fixture.readSizes(), (std::vector<std::size_t>{16, 7}));
  EXPECT_EQ(fixture.events[4].timeoutMs, 5000u);
}

TEST(Exchange, CommandWithoutDataWritesThreeParts) {
  testing::ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  AclCommandBlock block;
  ASSERT_EQ(sendCommand(fixture.device, aclcmd::ramSize, block), ResultCode::noError);
  EXPECT_EQ(fixture.writeSizes(), (std::vector<std::size_t>{34, 16, 9}));
  EXPECT_EQ(testing::hex(fixture.events[1].bytes), "00ACFF85000000000000000000000000");
  // The reply replaced the request in the caller's block.
  EXPECT_EQ(testing::hex(std::string(block.bytes.begin(), block.bytes.end())), "00ACFF85000180000000000000000000");
  EXPECT_TRUE(fixture.printer().protocolErrors().empty());
}

TEST(Exchange, ReplyCheckAndReplyFaults) {
  struct Case {
    const char* name;
    Fault fault;
    testing::ExpectedCode result;
  };
  const Case cases[] = {
      {"wrong echo with status 1", makeFault(FaultKind::wrongEcho), ResultCode::invalidResponse},
      {"status 0", makeFault(FaultKind::status0), ResultCode::executionFailed},
      {"status 2", makeFault(FaultKind::badStatus), ResultCode::executionError},
      {"status 0x0100", makeFault(FaultKind::badStatus, 0, 0x0100), ResultCode::executionError},
      {"reply of 8 bytes", makeFault(FaultKind::shortReply), ResultCode::receiveFailed},
      {"no reply", makeFault(FaultKind::noReply), ResultCode::receiveFailed},
      {"connection lost before the reply", makeFault(FaultKind::disconnect), ResultCode::receiveFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scenario scenario = virtualprinter::healthyMonoPrinter();
    scenario.faults = {c.fault};
    testing::ConnectedDevice fixture(scenario);
    AclCommandBlock block;
    EXPECT_EQ(sendCommand(fixture.device, aclcmd::ramSize, block), c.result);
  }
}

TEST(Exchange, LostPrinterFailsTheNextWrite) {
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.disconnectAfter = 1;
  testing::ConnectedDevice fixture(scenario);
  AclCommandBlock block;
  EXPECT_EQ(sendCommand(fixture.device, aclcmd::ramSize, block), ResultCode::noError);
  EXPECT_EQ(sendCommand(fixture.device, aclcmd::ramSize, block), ResultCode::sendFailed);
  // Nothing after the failed prefix was written.
  EXPECT_EQ(fixture.writeSizes().size(), 4u);
}

TEST(Exchange, EveryOperationNeedsAnOpenLink) {
  testing::ConnectedDevice fixture(virtualprinter::healthyMonoPrinter(), false);
  PrinterDevice& device = fixture.device;
  AclCommandBlock block = AclCommandBlock::request(aclcmd::ramSize);
  std::u16string text = u"kept";
  std::uint8_t buffer[8] = {};
  std::uint32_t size = 77;
  EXPECT_EQ(device.exchange(block, nullptr, 0), ResultCode::notConnected);
  EXPECT_EQ(device.queryOid("OID_PLATFORM_FW_VERSION", 0, text), ResultCode::notConnected);
  EXPECT_EQ(device.readFile("/etc/version", buffer, sizeof buffer, size), ResultCode::notConnected);
  EXPECT_EQ(text, u"kept");
  EXPECT_EQ(size, 77u);
  EXPECT_TRUE(fixture.events.empty());
  EXPECT_EQ(fixture.printer().sessions(), 0u);
}

TEST(FreshDevice, StartsFromTheDefaults) {
  testing::ConnectedDevice fixture(testing::emptyScenario(), false);
  EXPECT_EQ(fixture.device.readTimeoutMs(), 5000u);
  EXPECT_EQ(fixture.device.repliesEchoed(), 0u);
  // Nothing identified yet: the information layer stands for a printer nothing is known of.
  const BoardIdentity& identity = fixture.info.identity();
  EXPECT_EQ(identity.modelName, u"undefined");
  EXPECT_EQ(identity.boardDescription, u"unsupported yet");
  EXPECT_EQ(identity.stageCode, StageCode::none);
  EXPECT_EQ(std::string(identity.buildDateMarker), "DATA:");
  EXPECT_EQ(identity.buildDateSource, BuildDateSource::printer);
  ASSERT_EQ(fixture.info.consumables().size(), 1u);
  EXPECT_EQ(std::u16string(fixture.info.consumables().front().name), u"Black toner");
  EXPECT_EQ(fixture.info.consumables().front().oidIndex, 0u);
  ASSERT_EQ(fixture.info.drums().size(), 1u);
  EXPECT_EQ(std::u16string(fixture.info.drums().front().name), u"Drum");
  EXPECT_EQ(fixture.info.drums().front().oidIndex, 0u);
  const ReportSwitches on = fixture.info.reportSwitches();
  for (bool switchedOn :
       {on.ramSize, on.fwVersion, on.serialNumber, on.buildDate, on.consumables, on.drums, on.engineFwVersion}) {
    EXPECT_TRUE(switchedOn);
  }
  for (CachedItem item : {CachedItem::fwVersion, CachedItem::engineFwVersion, CachedItem::buildDate,
                          CachedItem::serialNumber, CachedItem::ramSize, CachedItem::consumables, CachedItem::drums}) {
    EXPECT_FALSE(fixture.info.isCached(item));
  }
}

}  // namespace
}  // namespace kestrava
