#include <gtest/gtest.h>

#include <string>

#include "board_test_support.h"
#include "boards/single_input_rules.h"

namespace kestrava {

using namespace testing;  // board printers and what identification made of them

TEST(FixedBoardRules, DecideByModelAloneAndAskNothing) {
  expectBoards(
      {
          {"P3020D", BoardPrinter(0x1732), u"Pantum P3020D/3320D/Panda", kVersionFile},
          {"P3320DWS", BoardPrinter(0x1735), u"Pantum P3020DWS/3320DWS/Panda", kVersionFile},
          {"P4100DW", BoardPrinter(0xFF43), u"G&G P4100DN/DW/Gorilla", kVersionFile},
          {"M4100DN", BoardPrinter(0xFF44), u"G&G M4100DN/DW/Gorilla", kVersionFile},
          {"M7300FDW", BoardPrinter(0x0ED5), u"Pantum M7300FDN(FDW)/Gorilla-MFP-DC-B", kVersionFile},
          {"BP5275DN", BoardPrinter(0x2755), u"Pantum BP5200DN(DW)/Owl", kPrinterDate},
      },
      "mono+drum");
  expectBoards(
      {
          {"M2022NW", BoardPrinter(0xCA32), u"G&G M2022/Spider4", kVersionFile},
          {"BP2302", BoardPrinter(0x0847), u"Pantum BP2300/Tom2", kPrinterDate},
          {"BP1800", BoardPrinter(0x0867), u"Pantum BP1800/Tom2", kPrinterDate},
          {"BM1800", BoardPrinter(0x0869), u"Pantum BM1800/Tom", kPrinterDate},
      },
      "mono");
  for (std::uint16_t productId : {0x1732, 0x0869}) {
    Identified outcome = identify(BoardPrinter(productId));
    EXPECT_TRUE(outcome.asked.empty());
    EXPECT_EQ(outcome.marker, "DATA:");
  }
}

TEST(FirmwareCutOffRules, BelowTheCutOffTheBoardFromItOnTheNextLine) {
  const char16_t* dumpOnly = u"Dump only";
  auto printer = [](std::uint16_t productId, const char* firmware) {
    return BoardPrinter(productId).firmware(firmware);
  };
  expectBoards(
      {
          {"BP1800W 4.H.1.2", printer(0x0868, "4.H.1.2"), u"Pantum BP1800W/Tom", kPrinterDate},
          {"BP1800W 4.H.1.3", printer(0x0868, "4.H.1.3"), dumpOnly, kPrinterDate},
          {"BP2300W 4.H.1", printer(0x0841, "4.H.1"), u"Pantum BP2300W/Tom", kPrinterDate},
          {"BP2303W 4.H.2.0", printer(0x0862, "4.H.2.0"), dumpOnly, kPrinterDate},
          // Text, not numbers: '4.H.1.10' is cut to '4.H.1.1', which sorts first.
          {"BM1800W 4.H.1.10", printer(0x086A, "4.H.1.10"), u"Pantum BM1800W/Tom", kPrinterDate},
          {"BM1800W 5", printer(0x086A, "5"), dumpOnly, kPrinterDate},
          {"BM2300 4.H.1.2", printer(0x0839, "4.H.1.2"), u"Pantum BM2300/Tom", kPrinterDate},
          {"BM2300 4.H.1.3", printer(0x0839, "4.H.1.3"), dumpOnly, kPrinterDate},
          {"BM2303W 4.H.0.9", printer(0x0864, "4.H.0.9"), u"Pantum BM2300W/Tom", kPrinterDate},
          {"BM2300A 4.H.1.3.1", printer(0x0840, "4.H.1.3.1"), dumpOnly, kPrinterDate},
          {"BP2300W empty", BoardPrinter(0x0841).firmwareByCommand(""), u"Pantum BP2300W/Tom", kPrinterDate},
      },
      "mono");
  const char16_t* m7310 = u"Pantum M7310DN(DW)/Bear3-MFP(plus)-DC-A";
  const char16_t* m7310From305 = u"Pantum M7310DN(DW)/Bear3-MFP(plus)-DC-A 3.A.0.5+";
  expectBoards(
      {
          {"BM5110ADN 3.H.0.9", printer(0x2714, "3.H.0.9"), u"Pantum BM5110ADN(ADW)/Wolf-MFP-DC-D", kPrinterDate},
          {"BM5110ADW 3.H.1.0", printer(0x2715, "3.H.1.0"), dumpOnly, kPrinterDate},
          {"M7310DN 3.A.0.4", printer(0x0F34, "3.A.0.4"), m7310, kVersionFile},
          {"M7318DW 3.A.0.5", printer(0x0F39, "3.A.0.5"), m7310From305, kVersionFile},
          {"M7318DN T.A.0.1", printer(0x0F36, "T.A.0.1"), m7310From305, kVersionFile},
      },
      "mono+drum");
}

TEST(FirmwareCutOffRules, AnUnreadableVersionFailsWithEverAfterTheSourceSwitch) {
  expectFailures({
      {"BP1800W", BoardPrinter(0x0868), StageCode::version, kPrinterDate},
      {"BM5110ADN", BoardPrinter(0x2714), StageCode::version, kPrinterDate},
      {"M7310DW", BoardPrinter(0x0F37), StageCode::version, kVersionFile},
  });
}

TEST(FirmwareCutOffRules, AFailingRuleLeavesWhatNothingKnownMeans) {
  // The version command gets no answer at all; its own result is passed on.
  BoardPrinter printer(0x0841);
  virtualprinter::Fault silent;
  silent.kind = virtualprinter::FaultKind::noReply;
  silent.command = aclcmd::firmwareVersion;
  printer.scenario.faults.push_back(silent);
  ConnectedDevice fixture(printer.scenario);
  BoardIdentification found = identifyBoard(fixture.info);
  EXPECT_EQ(found.result, ResultCode::receiveFailed);
  EXPECT_EQ(found.identity.stageCode, StageCode::version);
  EXPECT_EQ(u8(found.identity.modelName), "BP2300W");
  EXPECT_EQ(u8(found.identity.boardDescription), "unsupported yet");
  EXPECT_EQ(setName(found.identity.consumableSet), "mono+drum") << "the family's mono set is not chosen";
  fixture.info.apply(found.identity);
  const ReportSwitches on = fixture.info.reportSwitches();
  EXPECT_TRUE(on.consumables && on.drums && on.ramSize && on.fwVersion && on.serialNumber && on.buildDate &&
              on.engineFwVersion);
}

TEST(ThirdCharacterRules, TheELineOfTheColourBoards) {
  struct Case {
    std::uint16_t productId;
    const char* firmware;
    const char16_t* description;
    const char* marker;
  };
  const Case cases[] = {
      {0xA430, "3.E.0.1", u"Pantum CM1100DN(DW)/Tiger-MFP_3.E", "Buildtime:"},
      {0xA431, "3.A.0.1", u"Pantum CM1100DN(DW)/Tiger-MFP", "Buildtime:"},
      {0xA432, "1.E", u"Pantum CM1100ADN(ADW)/Tiger-MFP_3.E", "Buildtime:"},
      {0xA433, "3.e.0.1", u"Pantum CM1100ADN(ADW)/Tiger-MFP", "Buildtime:"},
      {0xA413, "3.E.1.0", u"Pantum CP1100DN/DW/Tiger-SFP_3.E", "DATA:"},
      {0xA414, "E.3.E", u"Pantum CP1100DN/DW/Tiger-SFP", "DATA:"},
      {0xA414, "3.", u"Pantum CP1100DN/DW/Tiger-SFP", "DATA:"},  // too short: not "E"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firmware);
    Identified outcome = identify(BoardPrinter(c.productId).firmware(c.firmware));
    expectDecided(outcome, c.description, "color");
    EXPECT_TRUE(outcome.versionFileSource);
    EXPECT_EQ(outcome.marker, c.marker);
  }
}

TEST(ThirdCharacterRules, MarkerAndSourceAreSetEvenWhenTheVersionFails) {
  for (std::uint16_t productId : {0xA430, 0xA433, 0xA413}) {
    SCOPED_TRACE(productId);
    Identified outcome = identify(BoardPrinter(productId));
    expectFailedAt(outcome, ResultCode::executionFailed, StageCode::version);
    EXPECT_TRUE(outcome.versionFileSource);
    EXPECT_EQ(outcome.marker, productId == 0xA413 ? "DATA:" : "Buildtime:");
  }
}

TEST(ThirdCharacterRules, TheCm1100BuildDateComesFromItsBuildtimeLine) {
  BoardPrinter printer =
      BoardPrinter(0xA430).firmware("3.E.0.1").versionFile("DATA: 2019-01-01\nBuildtime: 2020-02-02\n");
  ConnectedDevice fixture(printer.scenario);
  BoardIdentification found = identifyBoard(fixture.info);
  ASSERT_EQ(found.result, ResultCode::noError);
  fixture.info.apply(found.identity);
  std::u16string buildDate;
  ASSERT_EQ(fixture.info.getBuildDate(buildDate), ResultCode::noError);
  EXPECT_EQ(u8(buildDate), " 2020-02-02");
}

TEST(MemorySizeRules, TheBoardFollowsTheMemorySize) {
  auto printer = [](std::uint16_t productId, const char* megabytes) {
    return BoardPrinter(productId).ramSize(megabytes);
  };
  const char16_t* ad220Small = u"Aurora AD220M/Spider2-MFP-DC-B_128Mb";
  expectBoards(
      {
          {"P2500 256", printer(0x0820, "256"), u"Pantum P2200/2500/2550/2600/Bichon-SFP_256Mb", kPrinterDate},
          {"P2550N 128", printer(0x5820, "128"), u"Pantum P2200/2500/2550/2600/Bichon-SFP_128Mb", kPrinterDate},
          {"P2200 32", printer(0x1810, "32"), nullptr, kPrinterDate},
          {"P2200 64", printer(0x1810, "64"), nullptr, kPrinterDate},
          {"P2500 by memory command", BoardPrinter(0x0820).noRamSize().memoryCommand(256),
           u"Pantum P2200/2500/2550/2600/Bichon-SFP_256Mb", kPrinterDate},
          {"AD220MC 256", printer(0x0E21, "256"), u"Aurora AD220M/Spider2-MFP-DC-B_256Mb", kPrinterDate},
          {"AD220MNW 128", printer(0xFE20, "128"), ad220Small, kPrinterDate},
          {"AD229MA 32", printer(0xFF28, "32"), ad220Small, kPrinterDate},
          {"AD229MWC 64", printer(0xFF2A, "64"), ad220Small, kPrinterDate},
          {"AD229MNA 512", printer(0xFF29, "512"), ad220Small, kPrinterDate},
          {"P2210 32", printer(0x1722, "32"), u"Pantum P2210/2510/Bichon3-SFP-DC-A", kVersionFile},
          {"P2210W 256", printer(0x1723, "256"), nullptr, kVersionFile},
          {"P2510 128", printer(0x1724, "128"), nullptr, kVersionFile},
          {"P2510W 64", printer(0x1725, "64"), nullptr, kVersionFile},
      },
      "mono");
}

TEST(MemorySizeRules, AnUnreadableMemorySizeFailsWithEram) {
  expectFailures({
      {"P2500", BoardPrinter(0x0820).noRamSize(), StageCode::ramSize, kPrinterDate},
      {"AD220MC", BoardPrinter(0x0E21).noRamSize(), StageCode::ramSize, kPrinterDate},
      {"P2210", BoardPrinter(0x1722).noRamSize(), StageCode::ramSize, kVersionFile},
  });
}

TEST(GenerationRules, OldHLineAgainstTheNewBoards) {
  auto printer = [](std::uint16_t productId, const char* firmware) {
    return BoardPrinter(productId).firmware(firmware);
  };
  const char16_t* m6500New = u"Pantum M6200/6500/6550/Spider4-MFP-DC-A";
  const char16_t* m6500Old = u"Pantum M6200/6500/6550/Spider4-4.H.X.X";
  expectBoards(
      {
          {"M6500 4.A.0.6", printer(0xA421, "4.A.0.6"), m6500New, kVersionFile},
          {"M6503 4.A.0.1", printer(0x0826, "4.A.0.1"), m6500New, kVersionFile},
          {"M6550NW 4.H.1.3", printer(0xA42D, "4.H.1.3"), m6500Old, kPrinterDate},
          {"M6200 4.A.0.5", printer(0xA426, "4.A.0.5"), m6500Old, kPrinterDate},
      },
      "mono");
  expectBoards(
      {
          {"P2500 3.3.0.9", printer(0xA43A, "3.3.0.9"), u"Pantum P2200/2500/2550/2600/Bichon4-SFP", kVersionFile},
          {"P2503W 3.H.1.0", printer(0x0825, "3.H.1.0"), u"Pantum P2200/2500/2550/2600/Bichon4_4.H.X.X", kPrinterDate},
          {"P2500NW 4.A.0.2", printer(0xA43D, "4.A.0.2"), u"Pantum P2200/2500/2550/2600/Bichon4_4.H.X.X", kPrinterDate},
      },
      "mono+drum");
}

TEST(GenerationRules, AnUnreadableVersionFailsWithEgen) {
  expectFailures({
      {"M6500", BoardPrinter(0xA421), StageCode::generation, kPrinterDate},
      {"P2500", BoardPrinter(0xA43A), StageCode::generation, kPrinterDate},
  });
}

TEST(GenerationRules, WithoutAnOpenLinkTheRuleFailsWithEgen) {
  ConnectedDevice fixture(BoardPrinter(0xA421).firmware("4.A.0.6").scenario, false);
  // The rule itself, as identifyBoard runs it once the link is open.
  BoardIdentity decided;
  BoardContext board(fixture.info, decided);
  ConsumableSet set = ConsumableSet::color;
  EXPECT_EQ(applyBoardRule(&ruleM6500Gen, board, set), ResultCode::notConnected);
  EXPECT_EQ(decided.stageCode, StageCode::generation);
  EXPECT_EQ(set, ConsumableSet::color) << "no set chosen";
  EXPECT_EQ(u8(decided.boardDescription), "unsupported yet");
}

}  // namespace kestrava
