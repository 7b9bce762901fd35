// The three consumable sets and the report switches.
#include <gtest/gtest.h>

#include "test_support.h"

namespace kestrava {
namespace {

using testing::ConnectedDevice;

struct Entry {
  std::u16string name;
  std::uint32_t oidIndex;
  std::int32_t percent;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> entries(const ConsumableList& list) {
  std::vector<Entry> out;
  for (const ConsumableEntry& entry : list) out.push_back({entry.name, entry.oidIndex, entry.percentRemaining});
  return out;
}

struct Switches {
  bool serial, fw, engine, build, ram, consumables, drums;
  bool operator==(const Switches&) const = default;
};

Switches switches(const PrinterDevice& device) {
  const ReportSwitches& on = device.reportSwitches();
  return {on.serialNumber, on.fwVersion, on.engineFwVersion, on.buildDate, on.ramSize, on.consumables, on.drums};
}

// Only the given switches on.
ReportSwitches onlyOn(std::initializer_list<bool ReportSwitches::*> on) {
  ReportSwitches switches{false, false, false, false, false, false, false};
  for (bool ReportSwitches::*member : on) switches.*member = true;
  return switches;
}

TEST(ConsumableSets, FreshDeviceHasMonoWithDrumAndEverySwitchOn) {
  ConnectedDevice fixture(testing::emptyScenario(), /*open=*/false);
  EXPECT_EQ(entries(fixture.device.consumables()), (std::vector<Entry>{{u"Black toner", 0, 0}}));
  EXPECT_EQ(entries(fixture.device.drums()), (std::vector<Entry>{{u"Drum", 0, 0}}));
  EXPECT_EQ(switches(fixture.device), (Switches{true, true, true, true, true, true, true}));
}

TEST(ConsumableSets, ResetTurnsTheLevelLinesOffAndTheOthersOn) {
  ConnectedDevice fixture(testing::emptyScenario(), /*open=*/false);
  PrinterDevice& device = fixture.device;
  device.setReportSwitches(onlyOn({&ReportSwitches::consumables, &ReportSwitches::drums}));
  device.resetReportSwitches();
  EXPECT_EQ(switches(device), (Switches{true, true, true, true, true, false, false}));
}

struct SetCase {
  const char* name;
  void (PrinterDevice::*select)();
  std::vector<Entry> consumables;
  std::vector<Entry> drums;
  bool showDrums;
};

TEST(ConsumableSets, EachSetReplacesBothListsAndTurnsOnItsSwitches) {
  const std::vector<SetCase> rows = {
      {"mono with drum", &PrinterDevice::selectMonoDrumSet, {{u"Black toner", 0, 0}}, {{u"Drum", 0, 0}}, true},
      {"mono", &PrinterDevice::selectMonoSet, {{u"Black toner", 0, 0}}, {}, false},
      {"colour",
       &PrinterDevice::selectColorSet,
       {{u"Black toner", 3, 0}, {u"Cyan toner", 2, 0}, {u"Magenta toner", 1, 0}, {u"Yellow toner", 0, 0}},
       {},
       false},
  };
  for (const SetCase& row : rows) {
    SCOPED_TRACE(row.name);
    virtualprinter::Scenario printer = testing::emptyScenario();
    printer.oids["OID_CONSUMABLE_PERCENT_REMAINING.0"] = "55";
    ConnectedDevice fixture(printer);
    PrinterDevice& device = fixture.device;
    // Levels read before, and a set chosen before: the new set replaces all of it.
    ConsumableList levels;
    ASSERT_EQ(device.getConsumableLevels(levels), ResultCode::noError);
    ASSERT_EQ(device.consumables().front().percentRemaining, 55);
    device.selectColorSet();

    device.resetReportSwitches();
    (device.*row.select)();
    (device.*row.select)();  // twice: replaced, never appended to
    EXPECT_EQ(entries(device.consumables()), row.consumables);
    EXPECT_EQ(entries(device.drums()), row.drums);
    EXPECT_EQ(switches(device), (Switches{true, true, true, true, true, true, row.showDrums}));
    // The level caches are not the sets' business.
    EXPECT_TRUE(device.isCached(CachedItem::consumables));
    EXPECT_FALSE(device.isCached(CachedItem::drums));
  }
}

TEST(ConsumableSets, SetsOnlyTurnSwitchesOn) {
  ConnectedDevice fixture(testing::emptyScenario(), /*open=*/false);
  PrinterDevice& device = fixture.device;
  device.setReportSwitches(onlyOn({&ReportSwitches::fwVersion, &ReportSwitches::engineFwVersion,
                                   &ReportSwitches::buildDate, &ReportSwitches::drums}));
  device.selectMonoSet();
  EXPECT_EQ(switches(device), (Switches{false, true, true, true, false, true, true}));
}

}  // namespace
}  // namespace kestrava
