// Memory size and consumable levels: the decimal conversion, the OID first and command
// 0xFF85 second, one query per entry, and all-or-nothing keeping.
#include <gtest/gtest.h>

#include <limits>

#include "base/decimal_text.h"
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

constexpr const char* kRamOid = "OID_MEMORY_TOTAL_SIZE_IN_MBYTES.0";
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct DecimalCase {
  std::u16string text;
  std::int32_t value;
};

TEST(DecimalToInt32, ReadsLikeTheCLibrary) {
  const std::vector<DecimalCase> rows = {
      {u"512", 512},
      {u" 128MB", 128},
      {u"\t\r\n\v\f 42", 42},
      {u"MB", 0},
      {u"", 0},
      {u"-1", -1},
      {u"+7", 7},
      {u"-", 0},
      {u"- 5", 0},
      {u"+-5", 0},
      {u"0x10", 0},
      {u"007", 7},
      {u"12 34", 12},
      {std::u16string(u"12\0"
                      u"34",
                      5),
       12},
      {std::u16string(u"\0"
                      u"34",
                      3),
       0},
      {u"\u00A0"
       u"5",
       0},  // only the C locale's white space is skipped
      {u"2147483647", kMax},
      {u"2147483648", kMax},
      {u"99999999999999999999999", kMax},
      {u"-2147483648", kMin},
      {u"-2147483649", kMin},
      {u"-99999999999999999999999", kMin},
      {u"4294967295", kMax},
  };
  for (const DecimalCase& row : rows) {
    SCOPED_TRACE(testing::hex(std::string(row.text.begin(), row.text.end())));
    EXPECT_EQ(decimalToInt32(row.text), row.value);
  }
}

struct RamCase {
  const char* name;
  std::optional<std::string> oidAnswer;      // unset: unknown OID (8)
  std::optional<std::uint16_t> commandSize;  // unset: 0xFF85 answers status 0 (8)
  std::vector<Fault> faults;
  testing::ExpectedCode result;
  std::uint32_t megabytes;
  std::vector<std::string> asked;
};

TEST(RamSize, OidFirstCommandSecondAndTheCommandsCodeWins) {
  const std::vector<std::string> both = {kRamOid, "FF85"};
  const std::vector<std::string> oidOnly = {kRamOid};
  const std::vector<RamCase> rows = {
      {"OID 512", "512", 64, {}, 0, 512, oidOnly},
      {"OID ' 128MB'", " 128MB", 64, {}, 0, 128, oidOnly},
      {"OID without digits: 0, a success", "MB", 64, {}, 0, 0, oidOnly},
      {"OID -1 kept as its bits", "-1", 64, {}, 0, 4294967295u, oidOnly},
      {"OID overflow clamps", "99999999999", 64, {}, 0, 2147483647u, oidOnly},
      {"OID unknown: command 80 00 is 128", std::nullopt, 128, {}, 0, 128, both},
      {"OID unknown: command 00 01 is 256", std::nullopt, 256, {}, 0, 256, both},
      {"OID unknown: command FF FF", std::nullopt, 0xFFFF, {}, 0, 65535, both},
      {"OID short data: command", "512", 128, {oidFault(FaultKind::shortData, kRamOid)}, 0, 128, both},
      // Both fail: the command's code.
      {"OID 8, command status 0: 8", std::nullopt, std::nullopt, {}, 8, 0, both},
      {"OID 9, command wrong echo: 7",
       "512",
       128,
       {oidFault(FaultKind::badStatus, kRamOid), commandFault(FaultKind::wrongEcho, aclcmd::ramSize)},
       7,
       0,
       both},
      {"OID 7, command bad status: 9",
       "512",
       128,
       {oidFault(FaultKind::wrongEcho, kRamOid), commandFault(FaultKind::badStatus, aclcmd::ramSize)},
       9,
       0,
       both},
      {"OID 6, command short reply: 6",
       "512",
       128,
       {oidFault(FaultKind::shortReply, kRamOid), commandFault(FaultKind::shortReply, aclcmd::ramSize)},
       6,
       0,
       both},
      {"OID 8, command no reply: 6",
       std::nullopt,
       128,
       {commandFault(FaultKind::noReply, aclcmd::ramSize)},
       6,
       0,
       both},
  };
  for (const RamCase& row : rows) {
    SCOPED_TRACE(row.name);
    Scenario scenario = emptyScenario();
    if (row.oidAnswer) scenario.oids[kRamOid] = *row.oidAnswer;
    scenario.ramSizeMb = row.commandSize;
    scenario.faults = row.faults;
    ConnectedDevice fixture(scenario);
    std::uint32_t out = 7777;
    EXPECT_EQ(fixture.info.getRamSize(out), row.result);
    EXPECT_EQ(asked(fixture), row.asked);
    EXPECT_EQ(out, row.result == ResultCode::noError ? row.megabytes : 7777u);
    EXPECT_EQ(fixture.info.isCached(CachedItem::ramSize), row.result == ResultCode::noError);
  }
}

TEST(RamSize, ReadRamSizeAloneSendsOnlyTheCommand) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  std::uint32_t megabytes = 0;
  EXPECT_EQ(readRamSize(fixture.device, megabytes), ResultCode::noError);
  EXPECT_EQ(megabytes, 128u);
  EXPECT_EQ(fixture.commands(), std::vector<std::uint16_t>{aclcmd::ramSize});
  EXPECT_FALSE(fixture.info.isCached(CachedItem::ramSize));
}

TEST(RamSize, KeptAnswerSendsNothingAlsoAfterClose) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  std::uint32_t megabytes = 0;
  ASSERT_EQ(fixture.info.getRamSize(megabytes), ResultCode::noError);
  EXPECT_EQ(megabytes, 128u);
  EXPECT_EQ(fixture.requestCount(), 1u);
  std::uint32_t again = 0;
  EXPECT_EQ(fixture.info.getRamSize(again), ResultCode::noError);
  fixture.device.link().close();
  std::uint32_t closed = 0;
  EXPECT_EQ(fixture.info.getRamSize(closed), ResultCode::noError);
  EXPECT_EQ(again, 128u);
  EXPECT_EQ(closed, 128u);
  EXPECT_EQ(fixture.requestCount(), 1u);
}

TEST(RamSize, NotConnectedGives4AndAFailureIsAskedAgain) {
  ConnectedDevice closed(virtualprinter::healthyMonoPrinter(), /*open=*/false);
  std::uint32_t megabytes = 7777;
  EXPECT_EQ(closed.info.getRamSize(megabytes), ResultCode::notConnected);
  EXPECT_EQ(readRamSize(closed.device, megabytes), ResultCode::notConnected);
  EXPECT_EQ(megabytes, 7777u);
  EXPECT_TRUE(closed.events.empty());

  Scenario scenario = emptyScenario();
  scenario.oids[kRamOid] = "256";
  scenario.faults = {oidFault(FaultKind::noReply, kRamOid, 1)};
  ConnectedDevice fixture(scenario);
  EXPECT_EQ(fixture.info.getRamSize(megabytes), ResultCode::executionFailed);
  EXPECT_EQ(fixture.info.getRamSize(megabytes), ResultCode::noError);
  EXPECT_EQ(megabytes, 256u);
  const std::vector<std::string> expected = {kRamOid, "FF85", kRamOid};
  EXPECT_EQ(asked(fixture), expected);
}

// --- levels ---

constexpr const char* kToner = "OID_CONSUMABLE_PERCENT_REMAINING";
constexpr const char* kDrum = "OID_CONSUMABLE_DRUM_REMAIN";

std::string key(const char* oid, unsigned index) { return std::string(oid) + "." + std::to_string(index); }

// A CP1100DN: its board carries the colour set, which identification tells from the model
// after one look at the firmware version.
Scenario colourScenario() {
  Scenario scenario = emptyScenario(0xA413);
  scenario.oids = {{"OID_PLATFORM_FW_VERSION.0", "3.3.8.1"},
                   {key(kToner, 3), "81"},
                   {key(kToner, 2), "62"},
                   {key(kToner, 1), "43"},
                   {key(kToner, 0), "24"}};
  return scenario;
}

std::vector<std::int32_t> percentages(const ConsumableList& list) {
  std::vector<std::int32_t> out;
  for (const ConsumableEntry& entry : list) out.push_back(entry.percentRemaining);
  return out;
}

TEST(Levels, MonoWithDrumOneQueryEachAndTheAnswersConverted) {
  Scenario scenario = emptyScenario();
  scenario.oids = {{key(kToner, 0), " 80%"}, {key(kDrum, 0), "-1"}};
  ConnectedDevice fixture(scenario);
  ConsumableList toners;
  ConsumableList drums;
  EXPECT_EQ(fixture.info.getConsumableLevels(toners), ResultCode::noError);
  EXPECT_EQ(fixture.info.getDrumLevels(drums), ResultCode::noError);
  EXPECT_EQ(percentages(toners), std::vector<std::int32_t>{80});
  EXPECT_EQ(percentages(drums), std::vector<std::int32_t>{-1});
  EXPECT_EQ(std::u16string(drums.front().name), u"Drum");
  EXPECT_EQ(percentages(fixture.info.drums()), std::vector<std::int32_t>{-1});
  EXPECT_TRUE(fixture.info.isCached(CachedItem::consumables));
  EXPECT_TRUE(fixture.info.isCached(CachedItem::drums));
  const std::vector<std::string> expected = {key(kToner, 0), key(kDrum, 0)};
  EXPECT_EQ(asked(fixture), expected);
}

TEST(Levels, ColourSetAsksIndices3To0InListOrder) {
  ConnectedDevice fixture(colourScenario());
  const std::size_t identification = testing::identifyAndApply(fixture);
  ConsumableList toners;
  EXPECT_EQ(fixture.info.getConsumableLevels(toners), ResultCode::noError);
  EXPECT_EQ(percentages(toners), (std::vector<std::int32_t>{81, 62, 43, 24}));
  const std::vector<std::string> expected = {key(kToner, 3), key(kToner, 2), key(kToner, 1), key(kToner, 0)};
  EXPECT_EQ(testing::askedFrom(fixture, identification), expected);
}

struct LevelFailureCase {
  const char* name;
  std::optional<Fault> fault;  // once; unset: the printer does not know the OID at all
  testing::ExpectedCode result;
};

// The second of the four colour queries fails: its code, the kept levels (none read yet)
// and the caller's list as they were, and the next call asks all four again.
TEST(Levels, AFailedSecondColourQueryLeavesAllFourLevelsAsTheyWere) {
  const std::string cyan = key(kToner, 2);
  const std::vector<LevelFailureCase> rows = {
      {"unknown (status 0, no answer): 8", std::nullopt, 8},
      {"bad status: 9", oidFault(FaultKind::badStatus, cyan, 1), 9},
      {"wrong echo: 7", oidFault(FaultKind::wrongEcho, cyan, 1), 7},
      {"short reply: 6", oidFault(FaultKind::shortReply, cyan, 1), 6},
      {"answer stops short: 6", oidFault(FaultKind::shortData, cyan, 1), 6},
      {"no reply: 6", oidFault(FaultKind::noReply, cyan, 1), 6},
  };
  for (const LevelFailureCase& row : rows) {
    SCOPED_TRACE(row.name);
    Scenario scenario = colourScenario();
    if (row.fault) {
      scenario.faults = {*row.fault};
    } else {
      scenario.oids.erase(cyan);
    }
    ConnectedDevice fixture(scenario);
    const std::size_t identification = testing::identifyAndApply(fixture);
    ASSERT_EQ(fixture.info.consumables().size(), 4u);

    // The first entry answered 81 before the second failed: none of it is kept.
    ConsumableList out = {{u"caller", 9, 99}};
    EXPECT_EQ(fixture.info.getConsumableLevels(out), row.result);
    EXPECT_EQ(percentages(fixture.info.consumables()), (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_FALSE(fixture.info.isCached(CachedItem::consumables));
    EXPECT_EQ(percentages(out), std::vector<std::int32_t>{99});
    EXPECT_EQ(fixture.requestCount(), identification + 2);

    // The next call starts again with the first entry.
    if (row.fault) {
      EXPECT_EQ(fixture.info.getConsumableLevels(out), ResultCode::noError);
      EXPECT_EQ(percentages(out), (std::vector<std::int32_t>{81, 62, 43, 24}));
      EXPECT_EQ(fixture.requestCount(), identification + 6);
    } else {
      EXPECT_EQ(fixture.info.getConsumableLevels(out), row.result);
      EXPECT_EQ(fixture.requestCount(), identification + 4);
    }
  }
}

// A board without a drum (the BM1800's, which identification names without asking
// anything): asking for the drum levels gives 11 and sends nothing, connected or not.
TEST(Levels, EmptyDrumListGives11BeforeAnythingIsSent) {
  for (bool open : {true, false}) {
    SCOPED_TRACE(open ? "connected" : "not connected");
    ConnectedDevice fixture(emptyScenario(0x0869), open);
    BoardIdentity mono;
    mono.consumableSet = ConsumableSet::mono;
    fixture.info.apply(open ? identifyBoard(fixture.info).identity : mono);
    ASSERT_TRUE(fixture.info.drums().empty());
    ConsumableList out = {{u"caller", 9, 99}};
    EXPECT_EQ(fixture.info.getDrumLevels(out), ResultCode::countersNotDefined);
    EXPECT_EQ(percentages(out), std::vector<std::int32_t>{99});
    EXPECT_FALSE(fixture.info.isCached(CachedItem::drums));
    EXPECT_TRUE(fixture.events.empty());
  }
}

TEST(Levels, NotConnectedGives4) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter(), /*open=*/false);
  ConsumableList out;
  EXPECT_EQ(fixture.info.getConsumableLevels(out), ResultCode::notConnected);
  EXPECT_EQ(fixture.info.getDrumLevels(out), ResultCode::notConnected);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(fixture.events.empty());
}

TEST(Levels, KeptListSendsNothingAlsoAfterClose) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  ConsumableList toners;
  ConsumableList drums;
  ASSERT_EQ(fixture.info.getConsumableLevels(toners), ResultCode::noError);
  ASSERT_EQ(fixture.info.getDrumLevels(drums), ResultCode::noError);
  EXPECT_EQ(fixture.requestCount(), 2u);
  fixture.device.link().close();
  ConsumableList tonersAgain;
  ConsumableList drumsAgain;
  EXPECT_EQ(fixture.info.getConsumableLevels(tonersAgain), ResultCode::noError);
  EXPECT_EQ(fixture.info.getDrumLevels(drumsAgain), ResultCode::noError);
  EXPECT_EQ(percentages(tonersAgain), std::vector<std::int32_t>{80});
  EXPECT_EQ(percentages(drumsAgain), std::vector<std::int32_t>{64});
  EXPECT_EQ(fixture.requestCount(), 2u);
}

}  // namespace
}  // namespace kestrava
