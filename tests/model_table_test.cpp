#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "board_test_support.h"
#include "boards/compound_rules.h"
#include "boards/model_table.h"
#include "boards/single_input_rules.h"

namespace kestrava {

using testing::identify;
using testing::u8;

TEST(ModelTable, HoldsEachProductIdOnceUnderItsName) {
  std::set<std::uint16_t> ids;
  std::set<std::u16string> names;
  std::vector<BoardRule> rules;
  std::size_t nameOnly = 0;
  for (const ModelEntry& entry : modelTable()) {
    SCOPED_TRACE(::testing::Message() << std::hex << entry.productId);
    EXPECT_TRUE(ids.insert(entry.productId).second) << "product id twice";
    ASSERT_NE(entry.modelName, nullptr);
    EXPECT_FALSE(std::u16string(entry.modelName).empty());
    names.insert(entry.modelName);
    if (isNameOnly(entry.rule)) {
      ++nameOnly;
    } else if (std::find(rules.begin(), rules.end(), entry.rule) == rules.end()) {
      rules.push_back(entry.rule);
    }
    EXPECT_EQ(findModel(entry.productId), &entry);
  }
  EXPECT_EQ(modelTable().size(), 189u);
  EXPECT_EQ(names.size(), 165u);
  EXPECT_EQ(rules.size(), 34u) << "every board rule is reachable from some product id";
  EXPECT_EQ(nameOnly, 38u);
}

TEST(ModelTable, LooksUpTheExactProductIdOnly) {
  for (std::uint16_t absent : {0x0000, 0x0821, 0x0E22, 0xA421 + 0x1000, 0xFFFF}) {
    SCOPED_TRACE(::testing::Message() << std::hex << absent);
    EXPECT_EQ(findModel(static_cast<std::uint16_t>(absent)), nullptr);
  }
}

TEST(ModelTable, TheSameNameUnderTwoIdsRunsTwoRules) {
  struct Case {
    std::uint16_t productId;
    const char16_t* name;
    BoardRule rule;
  };
  const Case cases[] = {
      {0x0E20, u"M6500", &ruleM6500},
      {0xA421, u"M6500", &ruleM6500Gen},
      {0x0820, u"P2500", &ruleP2500Ram},
      {0xA43A, u"P2500", &ruleP2500Gen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.productId);
    const ModelEntry* entry = findModel(c.productId);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(u8(entry->modelName), u8(c.name));
    EXPECT_TRUE(entry->rule == c.rule);
  }

  // One printer, two product ids: each id's own rule decides the board.
  testing::Identified first = identify(testing::BoardPrinter(0x0E20).firmware("3.3.0.0"));
  testing::Identified second = identify(testing::BoardPrinter(0xA421).firmware("3.3.0.0"));
  EXPECT_EQ(u8(first.modelName), "M6500");
  EXPECT_EQ(u8(second.modelName), "M6500");
  EXPECT_EQ(u8(first.description), "Pantum M6200/6500/6550_rev2/Spider2-MFP-DC-B_128Mb");
  EXPECT_EQ(u8(second.description), "Pantum M6200/6500/6550/Spider4-MFP-DC-A");
}

TEST(IdentifyBoard, NameOnlyModelsAreNamedAndNothingElse) {
  struct Case {
    std::uint16_t productId;
    const char* name;
  };
  const Case cases[] = {
      {0x0ED7, "S2000"},
      {0xA41C, "S2000"},
      {0x0EDB, "MS6000NW"},
      {0xA41D, "MS6000NW"},
      {0x0EDC, "MS6000"},
      {0xA41E, "MS6000"},
      {0x0EDD, "MS6550"},
      {0xA41F, "MS6550"},
      {0x0EDE, "MS6550NW"},
      {0xA420, "MS6550NW"},
      // The P2600 is named in the P2500 board texts but has no rule of its own.
      {0x0850, "P2600"},
      {0x1850, "P2600NW"},
      {0x2850, "P2600N"},
      {0x0F3A, "M6700DW Plus"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.productId);
    testing::Identified outcome = identify(testing::emptyScenario(c.productId));
    EXPECT_EQ(outcome.result, ResultCode::noError);
    EXPECT_EQ(u8(outcome.modelName), c.name);
    EXPECT_EQ(u8(outcome.description), "unsupported yet");
    EXPECT_EQ(outcome.stage, StageCode::none);
    EXPECT_EQ(outcome.set, "mono+drum") << "consumable set untouched";
    EXPECT_FALSE(outcome.versionFileSource);
    EXPECT_TRUE(outcome.asked.empty()) << "a name-only model asks the printer nothing";
  }
}

TEST(IdentifyBoard, AnUnknownProductIdOfTheVendorChangesNothing) {
  testing::Identified outcome = identify(testing::emptyScenario(0x0821));
  EXPECT_EQ(outcome.result, ResultCode::noError);
  EXPECT_EQ(u8(outcome.modelName), "undefined");
  EXPECT_EQ(u8(outcome.description), "unsupported yet");
  EXPECT_EQ(outcome.stage, StageCode::none);
  EXPECT_EQ(outcome.set, "mono+drum");
  EXPECT_FALSE(outcome.versionFileSource);
  EXPECT_EQ(outcome.marker, "DATA:");
  EXPECT_TRUE(outcome.asked.empty());
}

TEST(IdentifyBoard, WithoutAnOpenLinkEvenAKnownPrinterIsNotIdentified) {
  testing::ConnectedDevice fixture(testing::BoardPrinter(0x1732).firmware("3.3.0.0").scenario, /*open=*/false);
  BoardIdentification found = identifyBoard(fixture.info);
  EXPECT_EQ(found.result, ResultCode::notConnected);
  EXPECT_EQ(u8(found.identity.modelName), "undefined");
  EXPECT_EQ(u8(found.identity.boardDescription), "unsupported yet");
  EXPECT_EQ(found.identity.stageCode, StageCode::none);
  EXPECT_EQ(found.identity.buildDateSource, BuildDateSource::printer);
  EXPECT_EQ(fixture.requestCount(), 0u);
}

}  // namespace kestrava
