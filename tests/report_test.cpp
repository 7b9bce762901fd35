// The information report: its lines, their order and switches, what a failed item shows,
// and which result the report returns.
#include <gtest/gtest.h>

#include <functional>

#include "base/text_codec.h"
#include "info_support.h"

namespace kestrava {
namespace {

using testing::asked;
using testing::commandFault;
using testing::ConnectedDevice;
using testing::emptyScenario;
using testing::oidFault;
using virtualprinter::FaultKind;
using virtualprinter::Scenario;

const std::u16string kMonoReport =
    u"Model: P3301DN (232B0EF5) (Pantum P3301DN/Gorilla)\r\n"
    u"S/N: CN3A012345\r\n"
    u"FW version: 3.3.8.1\r\n"
    u"Engine version: 1.2.15\r\n"
    u"Build: 2021-03-16 [r5012]\r\n"
    u"Ram size: 128Mb\r\n"
    u"Black toner remain: 80%\r\n"
    u"Drum remain: 64%\r\n";

// What identification would decide for a mono board with drum, by name.
BoardIdentity named() {
  BoardIdentity identity;
  identity.modelName = u"P3301DN";
  identity.boardDescription = u"Pantum P3301DN/Gorilla";
  return identity;
}

void nameIt(PrinterInfo& info) { info.apply(named()); }

TEST(Report, MonoWithDrumHasEightLinesInOrder) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  nameIt(fixture.info);
  std::u16string report;
  EXPECT_EQ(fixture.info.composeReport(report), ResultCode::noError);
  EXPECT_EQ(report, kMonoReport);
  // The rows are also the order of the exchanges.
  const std::vector<std::string> expected = {"OID_PLATFORM_PRODUCT_SERIAL_NUM.0", "OID_PLATFORM_FW_VERSION.0",
                                             "OID_PLATFORM_ENG_FW_VERSION.0",     "0008",
                                             "OID_MEMORY_TOTAL_SIZE_IN_MBYTES.0", "OID_CONSUMABLE_PERCENT_REMAINING.0",
                                             "OID_CONSUMABLE_DRUM_REMAIN.0"};
  EXPECT_EQ(asked(fixture), expected);
}

TEST(Report, ASecondReportAsksOnlyForWhatFailedAndReadsTheSame) {
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.oids.erase("OID_PLATFORM_PRODUCT_SERIAL_NUM.0");
  scenario.serialNumber.reset();
  ConnectedDevice fixture(scenario);
  nameIt(fixture.info);
  std::u16string first;
  EXPECT_EQ(fixture.info.composeReport(first), ResultCode::noError);
  const std::size_t requests = fixture.requestCount();
  std::u16string second;
  EXPECT_EQ(fixture.info.composeReport(second), ResultCode::noError);
  EXPECT_EQ(second, first);
  const std::vector<std::string> all = asked(fixture);
  const std::vector<std::string> again(all.begin() + static_cast<std::ptrdiff_t>(requests), all.end());
  const std::vector<std::string> expected = {"OID_PLATFORM_PRODUCT_SERIAL_NUM.0", "FF05"};
  EXPECT_EQ(again, expected);
}

// A CP1100DN as identification makes it out: the colour set, the build date from
// /etc/version.
TEST(Report, ColourSetHasFourLevelLinesAndNoDrumLine) {
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.productId = 0xA413;
  scenario.oids["OID_CONSUMABLE_PERCENT_REMAINING.3"] = "81";
  scenario.oids["OID_CONSUMABLE_PERCENT_REMAINING.2"] = "62";
  scenario.oids["OID_CONSUMABLE_PERCENT_REMAINING.1"] = "43";
  scenario.oids["OID_CONSUMABLE_PERCENT_REMAINING.0"] = "24";
  ConnectedDevice fixture(scenario);
  testing::identifyAndApply(fixture);
  std::u16string report;
  EXPECT_EQ(fixture.info.composeReport(report), ResultCode::noError);
  EXPECT_EQ(report,
            u"Model: CP1100DN (232BA413) (Pantum CP1100DN/DW/Tiger-SFP)\r\n"
            u"S/N: CN3A012345\r\n"
            u"FW version: 3.3.8.1\r\n"
            u"Engine version: 1.2.15\r\n"
            u"Build:  2021-03-16 14:02\r\n"
            u"Ram size: 128Mb\r\n"
            u"Black toner remain: 81%\r\n"
            u"Cyan toner remain: 62%\r\n"
            u"Magenta toner remain: 43%\r\n"
            u"Yellow toner remain: 24%\r\n");
  for (const std::string& request : asked(fixture)) EXPECT_EQ(request.find("DRUM"), std::string::npos);
}

// One row: what the healthy mono printer with drum is made to fail, or which switches
// are turned off, and how the report and its result read then.
struct ResultCase {
  const char* name;
  std::function<void(Scenario&)> breakPrinter;
  std::function<void(BoardIdentity&)> setUp;
  testing::ExpectedCode result;
  std::u16string report;
};

void dropOid(Scenario& scenario, const char* key) { scenario.oids.erase(key); }

std::u16string monoWith(const std::u16string& from, const std::u16string& to) {
  std::u16string report = kMonoReport;
  report.replace(report.find(from), from.size(), to);
  return report;
}

TEST(Report, TheResultIsThatOfTheLastSwitchedOnItem) {
  auto asIs = [](BoardIdentity&) {};
  const std::vector<ResultCase> rows = {
      {"serial number fails: undefined, result 0",
       [](Scenario& s) {
         dropOid(s, "OID_PLATFORM_PRODUCT_SERIAL_NUM.0");
         s.faults = {commandFault(FaultKind::wrongEcho, aclcmd::serialNumber)};
       },
       asIs, 0, monoWith(u"S/N: CN3A012345", u"S/N: undefined")},
      {"firmware version fails: undefined, result 0",
       [](Scenario& s) {
         dropOid(s, "OID_PLATFORM_FW_VERSION.0");
         s.firmwareVersion.reset();
       },
       asIs, 0, monoWith(u"FW version: 3.3.8.1", u"FW version: undefined")},
      {"engine version fails: undefined, result 0",
       [](Scenario& s) { s.faults = {oidFault(FaultKind::badStatus, "OID_PLATFORM_ENG_FW_VERSION.0")}; }, asIs, 0,
       monoWith(u"Engine version: 1.2.15", u"Engine version: undefined")},
      {"engine version empty: undefined, result 0",
       [](Scenario& s) { s.oids["OID_PLATFORM_ENG_FW_VERSION.0"] = std::string(1, '\0'); }, asIs, 0,
       monoWith(u"Engine version: 1.2.15", u"Engine version: undefined")},
      {"build date fails: undefined, result 0",
       [](Scenario& s) {
         s.buildInfo.reset();
         dropOid(s, "OID_PLATFORM_PRODUCT_DATE.0");
       },
       asIs, 0, monoWith(u"Build: 2021-03-16 [r5012]", u"Build: undefined")},
      {"memory size fails: N/A, result 0",
       [](Scenario& s) {
         dropOid(s, "OID_MEMORY_TOTAL_SIZE_IN_MBYTES.0");
         s.ramSizeMb.reset();
       },
       asIs, 0, monoWith(u"Ram size: 128Mb", u"Ram size: N/A")},
      {"toner fails, drum answers: no toner line, result 0",
       [](Scenario& s) { dropOid(s, "OID_CONSUMABLE_PERCENT_REMAINING.0"); }, asIs, 0,
       monoWith(u"\r\nBlack toner remain: 80%", u"")},
      {"drum fails: no drum line, the drum's code",
       [](Scenario& s) { s.faults = {oidFault(FaultKind::wrongEcho, "OID_CONSUMABLE_DRUM_REMAIN.0")}; }, asIs, 7,
       monoWith(u"\r\nDrum remain: 64%", u"")},
      {"drum answer stops short: the drum's code",
       [](Scenario& s) { s.faults = {oidFault(FaultKind::shortData, "OID_CONSUMABLE_DRUM_REMAIN.0")}; }, asIs, 6,
       monoWith(u"\r\nDrum remain: 64%", u"")},
      {"mono set, toner fails: the toner's code",
       [](Scenario& s) { s.faults = {oidFault(FaultKind::badStatus, "OID_CONSUMABLE_PERCENT_REMAINING.0")}; },
       [](BoardIdentity& identity) { identity.consumableSet = ConsumableSet::mono; }, 9,
       monoWith(u"\r\nBlack toner remain: 80%\r\nDrum remain: 64%", u"")},
      {"a stored -1 prints unsigned", [](Scenario& s) { s.oids["OID_CONSUMABLE_DRUM_REMAIN.0"] = "-1"; }, asIs, 0,
       monoWith(u"Drum remain: 64%", u"Drum remain: 4294967295%")},
      {"memory -1 prints unsigned", [](Scenario& s) { s.oids["OID_MEMORY_TOTAL_SIZE_IN_MBYTES.0"] = "-1"; }, asIs, 0,
       monoWith(u"Ram size: 128Mb", u"Ram size: 4294967295Mb")},
      {"an empty serial number prints empty",
       [](Scenario& s) { s.oids["OID_PLATFORM_PRODUCT_SERIAL_NUM.0"] = std::string(1, '\0'); }, asIs, 0,
       monoWith(u"S/N: CN3A012345", u"S/N: ")},
      {"texts are not trimmed", [](Scenario& s) { s.oids["OID_PLATFORM_FW_VERSION.0"] = " 3.3\t"; }, asIs, 0,
       monoWith(u"FW version: 3.3.8.1", u"FW version:  3.3\t")},
  };
  for (const ResultCase& row : rows) {
    SCOPED_TRACE(row.name);
    Scenario scenario = virtualprinter::healthyMonoPrinter();
    row.breakPrinter(scenario);
    ConnectedDevice fixture(scenario);
    BoardIdentity identity = named();
    row.setUp(identity);
    fixture.info.apply(identity);
    std::u16string report;
    EXPECT_EQ(fixture.info.composeReport(report), row.result);
    EXPECT_EQ(report, row.report);
  }
}

struct HeadCase {
  StageCode stage;
  std::uint16_t productId;
  std::u16string head;
};

// A printer's text cannot add a line to the report: its line ends are written out.
TEST(Report, APrintersTextStaysOnItsLine) {
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.oids["OID_PLATFORM_ENG_FW_VERSION.0"] = "1.2\r\nS/N: FAKE";
  scenario.oids["OID_PLATFORM_PRODUCT_SERIAL_NUM.0"] = "CN3\rFW version: 9.9\nX\x0b\x0c";
  ConnectedDevice fixture(scenario);
  nameIt(fixture.info);
  std::u16string report;
  EXPECT_EQ(fixture.info.composeReport(report), ResultCode::noError);
  EXPECT_EQ(toUtf8(report),
            "Model: P3301DN (232B0EF5) (Pantum P3301DN/Gorilla)\r\n"
            "S/N: CN3\\x0DFW version: 9.9\\x0AX\\x0B\\x0C\r\n"
            "FW version: 3.3.8.1\r\n"
            "Engine version: 1.2\\x0D\\x0AS/N: FAKE\r\n"
            "Build: 2021-03-16 [r5012]\r\n"
            "Ram size: 128Mb\r\n"
            "Black toner remain: 80%\r\n"
            "Drum remain: 64%\r\n");
}

TEST(Report, FirstLineCarriesTheUsbIdAndTheStageTag) {
  const std::vector<HeadCase> rows = {
      {StageCode::none, 0x0EF5, u"Model: P3301DN (232B0EF5) (Pantum P3301DN/Gorilla)\r\n"},
      {StageCode::version, 0x0EF5, u"Model: P3301DN (232B0EF5) (Pantum P3301DN/Gorilla) [EVER]\r\n"},
      {StageCode::platform, 0x0001, u"Model: P3301DN (232B0001) (Pantum P3301DN/Gorilla) [EPLT]\r\n"},
      {StageCode::generation, 0xABCD, u"Model: P3301DN (232BABCD) (Pantum P3301DN/Gorilla) [EGEN]\r\n"},
      {static_cast<StageCode>(9), 0x0EF5,
       u"Model: P3301DN (232B0EF5) (Pantum P3301DN/Gorilla) []\r\n"},  // a code without a tag
  };
  for (const HeadCase& row : rows) {
    SCOPED_TRACE(row.stage);
    ConnectedDevice fixture(emptyScenario(row.productId));
    BoardIdentity identity = named();
    identity.stageCode = row.stage;
    fixture.info.apply(identity);
    std::u16string report;
    (void)fixture.info.composeReport(report);
    EXPECT_EQ(report.substr(0, row.head.size()), row.head);
  }
}

TEST(Report, NotConnectedGives4AndLeavesTheTextAlone) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter(), /*open=*/false);
  std::u16string report = u"keep";
  EXPECT_EQ(fixture.info.composeReport(report), ResultCode::notConnected);
  EXPECT_EQ(report, u"keep");
  EXPECT_TRUE(fixture.events.empty());

  // Closed after everything was kept: still 4, the kept answers are not enough.
  ConnectedDevice closed(virtualprinter::healthyMonoPrinter());
  ASSERT_EQ(closed.info.composeReport(report), ResultCode::noError);
  closed.device.link().close();
  report = u"keep";
  EXPECT_EQ(closed.info.composeReport(report), ResultCode::notConnected);
  EXPECT_EQ(report, u"keep");
}

TEST(Report, LongTextsAreNeitherCutNorOverflowed) {
  const std::u16string model(5000, u'M');
  const std::u16string board(3000, u'B');
  const std::string serial(4095, 'S');
  const std::string engine(3000, 'E');
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.oids["OID_PLATFORM_PRODUCT_SERIAL_NUM.0"] = serial;
  scenario.oids["OID_PLATFORM_ENG_FW_VERSION.0"] = engine;
  ConnectedDevice fixture(scenario);
  BoardIdentity identity;
  identity.modelName = model;
  identity.boardDescription = board;
  identity.stageCode = StageCode::buildDate;
  fixture.info.apply(identity);
  std::u16string report;
  EXPECT_EQ(fixture.info.composeReport(report), ResultCode::noError);
  const std::u16string head = u"Model: " + model + u" (232B0EF5) (" + board + u") [EBLD]\r\nS/N: " +
                              std::u16string(serial.begin(), serial.end()) + u"\r\n";
  EXPECT_EQ(report.substr(0, head.size()), head);
  const std::u16string tail = u"Engine version: " + std::u16string(engine.begin(), engine.end()) +
                              u"\r\nBuild: 2021-03-16 [r5012]\r\nRam size: 128Mb\r\nBlack toner remain: 80%\r\n"
                              u"Drum remain: 64%\r\n";
  ASSERT_GE(report.size(), tail.size());
  EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
}

}  // namespace
}  // namespace kestrava
