// The three consumable sets, the report lines they turn on, and how an applied
// identification brings its set into the information layer.
#include <gtest/gtest.h>

#include "info_support.h"

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

Switches switches(const ReportSwitches& on) {
  return {on.serialNumber, on.fwVersion, on.engineFwVersion, on.buildDate, on.ramSize, on.consumables, on.drums};
}

TEST(ConsumableSets, NothingIdentifiedMeansMonoWithDrumAndEveryLine) {
  ConnectedDevice fixture(testing::emptyScenario(), /*open=*/false);
  EXPECT_EQ(entries(fixture.info.consumables()), (std::vector<Entry>{{u"Black toner", 0, 0}}));
  EXPECT_EQ(entries(fixture.info.drums()), (std::vector<Entry>{{u"Drum", 0, 0}}));
  EXPECT_EQ(switches(fixture.info.reportSwitches()), (Switches{true, true, true, true, true, true, true}));
}

struct SetCase {
  const char* name;
  std::uint16_t productId;  // a model whose board carries the set
  std::vector<Entry> consumables;
  std::vector<Entry> drums;
  bool showDrums;
};

// Identified on the printer and applied: the lists are the set's, every line but the
// levels on, and the level lines of what the set carries.
TEST(ConsumableSets, EachSetGivesItsListsAndTurnsOnItsLines) {
  const std::vector<SetCase> rows = {
      {"mono with drum (P3020D)", 0x1732, {{u"Black toner", 0, 0}}, {{u"Drum", 0, 0}}, true},
      {"mono (BM1800)", 0x0869, {{u"Black toner", 0, 0}}, {}, false},
      {"colour (CP1100DN)",
       0xA413,
       {{u"Black toner", 3, 0}, {u"Cyan toner", 2, 0}, {u"Magenta toner", 1, 0}, {u"Yellow toner", 0, 0}},
       {},
       false},
  };
  for (const SetCase& row : rows) {
    SCOPED_TRACE(row.name);
    virtualprinter::Scenario printer = testing::emptyScenario(row.productId);
    printer.oids["OID_PLATFORM_FW_VERSION.0"] = "3.3.8.1";
    ConnectedDevice fixture(printer);
    BoardIdentification found = identifyBoard(fixture.info);
    ASSERT_EQ(found.result, ResultCode::noError);
    fixture.info.apply(found.identity);
    EXPECT_EQ(entries(fixture.info.consumables()), row.consumables);
    EXPECT_EQ(entries(fixture.info.drums()), row.drums);
    EXPECT_EQ(switches(fixture.info.reportSwitches()), (Switches{true, true, true, true, true, true, row.showDrums}));
    EXPECT_EQ(entries(tonersOf(found.identity.consumableSet)), row.consumables);
    EXPECT_EQ(entries(drumsOf(found.identity.consumableSet)), row.drums);
  }
}

// Levels read before an identity is applied belong to the lists it replaces: the new set
// starts with its levels unknown and asks again; the kept texts stay.
TEST(ConsumableSets, ApplyingReplacesTheListsAndForgetsTheirLevels) {
  virtualprinter::Scenario printer = testing::emptyScenario();
  printer.oids["OID_CONSUMABLE_PERCENT_REMAINING.0"] = "55";
  printer.oids["OID_PLATFORM_FW_VERSION.0"] = "3.3.8.1";
  ConnectedDevice fixture(printer);
  ConsumableList levels;
  std::u16string version;
  ASSERT_EQ(fixture.info.getConsumableLevels(levels), ResultCode::noError);
  ASSERT_EQ(fixture.info.getFirmwareVersion(version), ResultCode::noError);
  ASSERT_EQ(fixture.info.consumables().front().percentRemaining, 55);
  ASSERT_TRUE(fixture.info.isCached(CachedItem::consumables));

  BoardIdentity mono;
  mono.consumableSet = ConsumableSet::mono;
  fixture.info.apply(mono);
  fixture.info.apply(mono);  // twice: replaced, never appended to
  EXPECT_EQ(entries(fixture.info.consumables()), (std::vector<Entry>{{u"Black toner", 0, 0}}));
  EXPECT_TRUE(fixture.info.drums().empty());
  EXPECT_FALSE(fixture.info.isCached(CachedItem::consumables));
  EXPECT_TRUE(fixture.info.isCached(CachedItem::fwVersion));
  const std::size_t requests = fixture.requestCount();
  ASSERT_EQ(fixture.info.getConsumableLevels(levels), ResultCode::noError);
  EXPECT_EQ(fixture.requestCount(), requests + 1);
}

}  // namespace
}  // namespace kestrava
