// Firmware version, serial number and engine version: the OID first, the dedicated
// command second, which code wins when both fail, and the cache.
#include <gtest/gtest.h>

#include <functional>

#include "info_support.h"

namespace kestrava {
namespace {

using testing::asked;
using testing::commandFault;
using testing::ConnectedDevice;
using testing::emptyScenario;
using testing::oidFault;
using virtualprinter::Fault;
using virtualprinter::FaultKind;
using virtualprinter::Scenario;

constexpr const char* kFwOid = "OID_PLATFORM_FW_VERSION.0";
constexpr const char* kSerialOid = "OID_PLATFORM_PRODUCT_SERIAL_NUM.0";
constexpr const char* kEngineOid = "OID_PLATFORM_ENG_FW_VERSION.0";

// One row: what the printer knows, which faults it shows, and what the getter returns.
struct GetterCase {
  const char* name;
  std::optional<std::string> oidAnswer;      // unset: the printer does not know the OID (8)
  std::optional<std::string> commandAnswer;  // unset: the command answers status 0 (8)
  std::vector<Fault> faults;
  testing::ExpectedCode result;
  std::u16string text;  // the answer on success
  std::vector<std::string> asked;
};

using Getter = ResultCode (PrinterInfo::*)(std::u16string&);

// Runs one row on a fresh printer and checks the result, the output, the cache and the
// requests; a failure must leave the output, the kept text and its flag untouched.
void runCase(const GetterCase& row, const char* oid, Getter getter,
             void (*setCommandAnswer)(Scenario&, const std::string&), CachedItem item) {
  SCOPED_TRACE(row.name);
  Scenario scenario = emptyScenario();
  if (row.oidAnswer) scenario.oids[oid] = *row.oidAnswer;
  if (row.commandAnswer && setCommandAnswer) setCommandAnswer(scenario, *row.commandAnswer);
  scenario.faults = row.faults;
  ConnectedDevice fixture(scenario);

  std::u16string out = u"keep";
  EXPECT_EQ((fixture.info.*getter)(out), row.result);
  EXPECT_EQ(asked(fixture), row.asked);
  if (row.result == ResultCode::noError) {
    EXPECT_EQ(out, row.text);
    EXPECT_TRUE(fixture.info.isCached(item));
    // The kept answer is what a later call hands out, without asking again.
    std::size_t requests = fixture.requestCount();
    std::u16string again;
    EXPECT_EQ((fixture.info.*getter)(again), ResultCode::noError);
    EXPECT_EQ(again, row.text);
    EXPECT_EQ(fixture.requestCount(), requests);
  } else {
    EXPECT_EQ(out, u"keep");
    EXPECT_FALSE(fixture.info.isCached(item));
  }
}

void setFirmware(Scenario& s, const std::string& text) { s.firmwareVersion = text; }
void setSerial(Scenario& s, const std::string& text) { s.serialNumber = text; }

TEST(FirmwareVersion, OidFirstCommandSecondAndTheCommandsCodeWins) {
  const std::vector<std::string> both = {kFwOid, "0001"};
  const std::vector<GetterCase> rows = {
      {"OID answers: no command sent", "3.3.8.1", "9.9.9.9", {}, 0, u"3.3.8.1", {kFwOid}},
      {"OID status 0 with an answer counts",
       "3.3.8.1",
       "9.9.9.9",
       {oidFault(FaultKind::status0, kFwOid)},
       0,
       u"3.3.8.1",
       {kFwOid}},
      {"OID unknown: seven characters and NULs", std::nullopt, "3.3.7.3", {}, 0, u"3.3.7.3", both},
      {"eight characters, no NUL in bytes 6-13", std::nullopt, "12345678", {}, 0, u"12345678", both},
      {"bytes 14-15 are not part of it", std::nullopt, "ABCDEFGHIJ", {}, 0, u"ABCDEFGH", both},
      {"a NUL byte ends the text", std::nullopt, std::string("3.3\0xyz", 7), {}, 0, u"3.3", both},
      {"OID bad status: command", "x", "2.0", {oidFault(FaultKind::badStatus, kFwOid)}, 0, u"2.0", both},
      {"OID wrong echo: command", "x", "2.0", {oidFault(FaultKind::wrongEcho, kFwOid)}, 0, u"2.0", both},
      {"OID short reply: command", "x", "2.0", {oidFault(FaultKind::shortReply, kFwOid)}, 0, u"2.0", both},
      {"OID short data: command", "3.3.8.1", "2.0", {oidFault(FaultKind::shortData, kFwOid)}, 0, u"2.0", both},
      {"OID no reply: command", "x", "2.0", {oidFault(FaultKind::noReply, kFwOid)}, 0, u"2.0", both},
      // Both fail: the command's code, never the query's.
      {"OID 9, command status 0: 8", "x", std::nullopt, {oidFault(FaultKind::badStatus, kFwOid)}, 8, u"", both},
      {"OID 8, command wrong echo: 7",
       std::nullopt,
       "2.0",
       {commandFault(FaultKind::wrongEcho, aclcmd::firmwareVersion)},
       7,
       u"",
       both},
      {"OID 6, command bad status: 9",
       "3.3.8.1",
       "2.0",
       {oidFault(FaultKind::shortData, kFwOid), commandFault(FaultKind::badStatus, aclcmd::firmwareVersion)},
       9,
       u"",
       both},
      {"OID 7, command short reply: 6",
       "x",
       "2.0",
       {oidFault(FaultKind::wrongEcho, kFwOid), commandFault(FaultKind::shortReply, aclcmd::firmwareVersion)},
       6,
       u"",
       both},
      {"OID 9, command no reply: 6",
       "x",
       "2.0",
       {oidFault(FaultKind::badStatus, kFwOid), commandFault(FaultKind::noReply, aclcmd::firmwareVersion)},
       6,
       u"",
       both},
      {"link lost at the OID (6), command cannot be sent: 5",
       "x",
       "2.0",
       {oidFault(FaultKind::disconnect, kFwOid)},
       5,
       u"",
       {kFwOid}},
  };
  for (const GetterCase& row : rows) {
    runCase(row, kFwOid, &PrinterInfo::getFirmwareVersion, setFirmware, CachedItem::fwVersion);
  }
}

TEST(SerialNumber, OidFirstCommandSecondAndTheLengthRule) {
  const std::vector<std::string> both = {kSerialOid, "FF05"};
  const std::string serial256(256, 'S');
  const std::vector<GetterCase> rows = {
      {"OID answers: no command sent", "CN3A012345", "OTHER", {}, 0, u"CN3A012345", {kSerialOid}},
      {"OID unknown: length 00 0D reads 13", std::nullopt, "ABCDEFGHIJKLM", {}, 0, u"ABCDEFGHIJKLM", both},
      {"length 01 00 reads 256", std::nullopt, serial256, {}, 0, std::u16string(256, u'S'), both},
      {"a NUL byte ends the text", std::nullopt, std::string("AB\0CD", 5), {}, 0, u"AB", both},
      {"empty serial is a success", std::nullopt, "", {}, 0, u"", both},
      {"OID short reply: command", "x", "SN1", {oidFault(FaultKind::shortReply, kSerialOid)}, 0, u"SN1", both},
      // Both fail: the command's code.
      {"OID 8, command status 0: 8", std::nullopt, std::nullopt, {}, 8, u"", both},
      {"OID 9, command wrong echo: 7",
       "x",
       "SN1",
       {oidFault(FaultKind::badStatus, kSerialOid), commandFault(FaultKind::wrongEcho, aclcmd::serialNumber)},
       7,
       u"",
       both},
      {"OID 8, command bad status: 9",
       std::nullopt,
       "SN1",
       {commandFault(FaultKind::badStatus, aclcmd::serialNumber)},
       9,
       u"",
       both},
      {"OID 8, command text stops short: 6",
       std::nullopt,
       "CN3A012345",
       {commandFault(FaultKind::shortData, aclcmd::serialNumber)},
       6,
       u"",
       both},
      {"OID 8, command short reply: 6",
       std::nullopt,
       "SN1",
       {commandFault(FaultKind::shortReply, aclcmd::serialNumber)},
       6,
       u"",
       both},
      {"OID 8, command no reply: 6",
       std::nullopt,
       "SN1",
       {commandFault(FaultKind::noReply, aclcmd::serialNumber)},
       6,
       u"",
       both},
  };
  for (const GetterCase& row : rows) {
    runCase(row, kSerialOid, &PrinterInfo::getSerialNumber, setSerial, CachedItem::serialNumber);
  }
}

TEST(SerialNumber, LengthBytes0D00MeanThirteen) {
  Scenario scenario = emptyScenario();
  scenario.serialNumber = "ABCDEFGHIJKLM";
  scenario.serialLengthSwapped = true;  // 0D 00 instead of 00 0D
  ConnectedDevice fixture(scenario);
  std::u16string out;
  EXPECT_EQ(fixture.info.getSerialNumber(out), ResultCode::noError);
  EXPECT_EQ(out, u"ABCDEFGHIJKLM");
  EXPECT_EQ(fixture.readSizes().back(), 13u);
}

TEST(EngineVersion, OidOnlyEmptyIsASuccess) {
  const std::vector<std::string> oidOnly = {kEngineOid};
  const std::vector<GetterCase> rows = {
      {"OID answers", "1.2.15", std::nullopt, {}, 0, u"1.2.15", oidOnly},
      {"OID status 0 with an answer counts",
       "1.2.15",
       std::nullopt,
       {oidFault(FaultKind::status0, kEngineOid)},
       0,
       u"1.2.15",
       oidOnly},
      {"an answer of NUL bytes is an empty success", std::string(3, '\0'), std::nullopt, {}, 0, u"", oidOnly},
      {"unknown: 8, no fallback", std::nullopt, std::nullopt, {}, 8, u"", oidOnly},
      {"bad status: 9", "1.2.15", std::nullopt, {oidFault(FaultKind::badStatus, kEngineOid)}, 9, u"", oidOnly},
      {"wrong echo: 7", "1.2.15", std::nullopt, {oidFault(FaultKind::wrongEcho, kEngineOid)}, 7, u"", oidOnly},
      {"short reply: 6", "1.2.15", std::nullopt, {oidFault(FaultKind::shortReply, kEngineOid)}, 6, u"", oidOnly},
      {"short data: 6", "1.2.15", std::nullopt, {oidFault(FaultKind::shortData, kEngineOid)}, 6, u"", oidOnly},
  };
  for (const GetterCase& row : rows) {
    runCase(row, kEngineOid, &PrinterInfo::getEngineFwVersion, nullptr, CachedItem::engineFwVersion);
  }
}

// The three getters side by side on the healthy printer: the first answer is kept and
// handed out without a request, also once the link is closed.
struct CachedGetter {
  const char* name;
  Getter getter;
  std::u16string answer;
};

const std::vector<CachedGetter>& cachedGetters() {
  static const std::vector<CachedGetter> getters = {
      {"firmware version", &PrinterInfo::getFirmwareVersion, u"3.3.8.1"},
      {"serial number", &PrinterInfo::getSerialNumber, u"CN3A012345"},
      {"engine version", &PrinterInfo::getEngineFwVersion, u"1.2.15"},
  };
  return getters;
}

TEST(IdentityCache, SecondCallAndCallAfterCloseSendNothing) {
  for (const CachedGetter& row : cachedGetters()) {
    SCOPED_TRACE(row.name);
    ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
    std::u16string out;
    ASSERT_EQ((fixture.info.*row.getter)(out), ResultCode::noError);
    EXPECT_EQ(out, row.answer);
    const std::size_t requests = fixture.requestCount();
    EXPECT_EQ(requests, 1u);

    std::u16string again;
    EXPECT_EQ((fixture.info.*row.getter)(again), ResultCode::noError);
    EXPECT_EQ(again, row.answer);
    EXPECT_EQ(fixture.requestCount(), requests);

    fixture.device.link().close();
    std::u16string closed;
    EXPECT_EQ((fixture.info.*row.getter)(closed), ResultCode::noError);
    EXPECT_EQ(closed, row.answer);
    EXPECT_EQ(fixture.requestCount(), requests);
  }
}

TEST(IdentityCache, NotConnectedGives4AndSendsNothing) {
  for (const CachedGetter& row : cachedGetters()) {
    SCOPED_TRACE(row.name);
    ConnectedDevice fixture(virtualprinter::healthyMonoPrinter(), /*open=*/false);
    std::u16string out = u"keep";
    EXPECT_EQ((fixture.info.*row.getter)(out), ResultCode::notConnected);
    EXPECT_EQ(out, u"keep");
    EXPECT_EQ(fixture.requestCount(), 0u);
    EXPECT_TRUE(fixture.events.empty());
  }
}

TEST(IdentityCache, AfterCloseAnUncachedItemGives4) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  fixture.device.link().close();
  std::u16string out = u"keep";
  EXPECT_EQ(fixture.info.getFirmwareVersion(out), ResultCode::notConnected);
  EXPECT_EQ(fixture.info.getSerialNumber(out), ResultCode::notConnected);
  EXPECT_EQ(out, u"keep");
  EXPECT_EQ(fixture.requestCount(), 0u);
}

TEST(IdentityCache, AFailureIsNotKeptAndTheNextCallAsksBothAgain) {
  Scenario scenario = emptyScenario();
  scenario.oids[kFwOid] = "3.3.8.1";
  scenario.firmwareVersion = "2.0";
  scenario.faults = {oidFault(FaultKind::badStatus, kFwOid, 1),
                     commandFault(FaultKind::wrongEcho, aclcmd::firmwareVersion, 1)};
  ConnectedDevice fixture(scenario);
  std::u16string out;
  EXPECT_EQ(fixture.info.getFirmwareVersion(out), ResultCode::invalidResponse);
  EXPECT_FALSE(fixture.info.isCached(CachedItem::fwVersion));
  EXPECT_EQ(fixture.info.getFirmwareVersion(out), ResultCode::noError);
  EXPECT_EQ(out, u"3.3.8.1");
  const std::vector<std::string> expected = {kFwOid, "0001", kFwOid};
  EXPECT_EQ(asked(fixture), expected);
  EXPECT_TRUE(fixture.printer().protocolErrors().empty());
}

}  // namespace
}  // namespace kestrava
