#include <gtest/gtest.h>

#include "board_test_support.h"

namespace kestrava {

using namespace testing;  // board printers and what identification made of them

namespace {

BoardPrinter p3010dw(const char* firmware, std::uint8_t machine) {
  return BoardPrinter(0x0EC5).firmware(firmware).busybox(machine);
}

}  // namespace

TEST(RuleP3010Dw, BearBoardsByFirmwareLine) {
  const char16_t* bear3 = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear3-SFP-DC_v.x.A.x.x";
  const char16_t* bear3320 = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear-SFP-DC-A_3.3.2.0/4.A.0.2";
  const char16_t* bear3309 = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear-SFP-DC-A_3.3.0.9";
  expectBoards(
      {
          {"3.A.1.0", p3010dw("3.A.1.0", 0x27), bear3, kVersionFile},
          {"E.A.0.1", p3010dw("E.A.0.1", 0x27), bear3, kVersionFile},
          {"P3301DN on Bear", BoardPrinter(0x0EF5).firmware("3.A.1.0").busybox(0x27), bear3, kVersionFile},
          {"4.A.0.3", p3010dw("4.A.0.3", 0x27), bear3320, kVersionFile},
          {"3.3.2.0", p3010dw("3.3.2.0", 0x27), bear3320, kVersionFile},
          {"3.3.1.0", p3010dw("3.3.1.0", 0x27), bear3320, kVersionFile},
          {"3.3.9.0", p3010dw("3.3.9.0", 0x27), bear3320, kVersionFile},
          {"3.3.0.9", p3010dw("3.3.0.9", 0x27), bear3309, kVersionFile},
          {"3.3.A.0", p3010dw("3.3.A.0", 0x27), bear3309, kVersionFile},
          {"2.0.0.0", p3010dw("2.0.0.0", 0x27), bear3309, kVersionFile},
          {"4.3.2.0", p3010dw("4.3.2.0", 0x27), bear3309, kVersionFile},
          {"3.3 (too short)", p3010dw("3.3", 0x27), bear3309, kVersionFile},
      },
      "mono+drum");
}

TEST(RuleP3010Dw, GorillaBoardsByFifthCharacter) {
  const char16_t* gorilla = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Gorilla-SFP-MB-A";
  const char16_t* gorilla3373 = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Gorilla-SFP-MB-A_3.3.7.3+";
  const char16_t* p3301 = u"Pantum P3301/Gorilla-SFP-MB-A";
  expectBoards(
      {
          {"3.3.6.9", p3010dw("3.3.6.9", 0x28), gorilla, kVersionFile},
          {"3.3.7.3", p3010dw("3.3.7.3", 0x28), gorilla3373, kVersionFile},
          {"3.3.8.0", p3010dw("3.3.8.0", 0x28), gorilla3373, kVersionFile},
          {"3.3.10.0", p3010dw("3.3.10.0", 0x28), gorilla, kVersionFile},
          {"3.3 (too short)", p3010dw("3.3", 0x28), gorilla, kVersionFile},
          {"busybox of 32 bytes", BoardPrinter(0x0EC9).firmware("3.3.7.3").busybox(0x27, 32), gorilla3373,
           kVersionFile},
          {"P3301DN 3.3.8.0", BoardPrinter(0x0EF5).firmware("3.3.8.0"), p3301, kVersionFile},
          {"P3301DN 3.3.6.9", BoardPrinter(0x0EF5).firmware("3.3.6.9"), p3301, kVersionFile},
      },
      "mono+drum");
}

TEST(RuleP3010D, BearOrGorillaByVersionNumber) {
  const char16_t* gorilla = u"Pantum P3010/P3060/Gorilla-SFP-MB-A";
  const char16_t* gorilla3272 = u"Pantum P3010/P3060/Gorilla-SFP-MB-A_3.2.7.2+";
  BoardPrinter p3010d(0x0EC4);
  expectBoards(
      {
          {"Bear", BoardPrinter(0x0F01).firmware("3.2.7.1").busybox(0x27), u"Pantum P3010D/P3060D/Bear3-SFP-DC-A",
           kVersionFile},
          {"3.2.7.1", BoardPrinter(p3010d).firmware("3.2.7.1"), gorilla, kVersionFile},
          {"3.2.7.2", BoardPrinter(p3010d).firmware("3.2.7.2"), gorilla3272, kVersionFile},
          {"3.3.0.0", BoardPrinter(p3010d).firmware("3.3.0.0"), gorilla3272, kVersionFile},
          {"3.3.10.1 is 331", BoardPrinter(p3010d).firmware("3.3.10.1"), gorilla, kVersionFile},
      },
      "mono+drum");
}

TEST(RuleP3010, BusyboxThenVersionAfterTheSourceSwitch) {
  expectFailures({
      {"P3010DW without busybox", BoardPrinter(0x0EC5).firmware("3.3.0.9").noBusybox(), StageCode::platform,
       kVersionFile},
      {"P3010DW without version", BoardPrinter(0x0EC5), StageCode::version, kVersionFile},
      {"P3010D without busybox", BoardPrinter(0x0EC4).firmware("3.3.0.9").noBusybox(), StageCode::platform,
       kVersionFile},
      {"P3010D without version", BoardPrinter(0x0EC4), StageCode::version, kVersionFile},
  });
}

TEST(RuleM6500, RevisionMemoryAndBuildYear) {
  const char16_t* rev1 = u"Pantum M6200/6500/6550_rev1/Spider-MFP-DC-A_128Mb";
  const char16_t* b256 = u"Pantum M6550NW/Spider2-MFP-DC-B_256Mb";
  const char16_t* d256 = u"Pantum M6550NW/Spider2-MFP-DC-D_256Mb";
  const char16_t* b128 = u"Pantum M6200/6500/6550_rev2/Spider2-MFP-DC-B_128Mb";
  const char16_t* d128 = u"Pantum M6200/6500/6550_rev2/Spider2-MFP-DC-D_128Mb";
  BoardPrinter m6500(0x0E20);
  expectBoards(
      {
          {"no memory command, 256 MB", BoardPrinter(m6500).ramSize("256").memoryCommand({}), rev1, kPrinterDate},
          {"no memory command, 2023", BoardPrinter(m6500).memoryCommand({}).printerDate("2023-1-1"), rev1,
           kPrinterDate},
          {"256 MB 2021-12-31", BoardPrinter(m6500).ramSize("256").printerDate("2021-12-31"), b256, kPrinterDate},
          {"256 MB 2022-01-01", BoardPrinter(m6500).ramSize("256").printerDate("2022-01-01"), d256, kPrinterDate},
          {"128 MB no year", BoardPrinter(m6500).ramSize("128").printerDate("21-12-31"), b128, kPrinterDate},
          {"64 MB no year", BoardPrinter(m6500).ramSize("64").printerDate("unknown"), b128, kPrinterDate},
          {"128 MB 2021", BoardPrinter(m6500).ramSize("128").printerDate("2021-12-31"), b128, kPrinterDate},
          {"128 MB 2022", BoardPrinter(0x8E10).ramSize("128").printerDate("2022-01-01"), d128, kPrinterDate},
          // The date is the printer's own answer, not the one in /etc/version.
          {"printer 2021, file 2023",
           BoardPrinter(m6500).ramSize("256").printerDate("2021-12-31").fileDate("2023-01-01"), b256, kPrinterDate},
      },
      "mono");
}

TEST(RuleM6600, RevisionAndBuildYear) {
  BoardPrinter m6600(0x3F20);
  expectBoards(
      {
          {"no memory command", BoardPrinter(m6600).memoryCommand({}).printerDate("2025-01-01"),
           u"Pantum M6600_rev1/Spider-MFP_256Mb", kPrinterDate},
          {"2023", BoardPrinter(m6600).printerDate("2023-12-31"), u"Pantum M6600_rev2/Spider2-MFP_256Mb", kPrinterDate},
          {"no year", BoardPrinter(m6600).printerDate("-"), u"Pantum M6600_rev2/Spider2-MFP_256Mb", kPrinterDate},
          {"2024", BoardPrinter(m6600).printerDate("2024-01-01"), nullptr, kPrinterDate},
      },
      "mono");
}

TEST(RuleM6500AndM6600, MemoryThenBuildDate) {
  expectFailures({
      {"M6500 without memory size", BoardPrinter(0x0E20).noRamSize(), StageCode::ramSize, kPrinterDate},
      {"M6500 without build date", BoardPrinter(0x0E20).noBuildDate(), StageCode::buildDate, kPrinterDate},
      {"M6600 without build date", BoardPrinter(0x5F22).noBuildDate(), StageCode::buildDate, kPrinterDate},
      {"M6600 rev1 without build date", BoardPrinter(0x5F22).memoryCommand({}).noBuildDate(), StageCode::buildDate,
       kPrinterDate},
  });
}

TEST(RuleM6700, OldGenerationByCutOff) {
  const char16_t* bear3 = u"Pantum M6703/Bear3_v.4.H.x.x";
  expectBoards(
      {
          {"4.H.1.1", BoardPrinter(0x0ECA).firmware("4.H.1.1"), bear3, kPrinterDate},
          {"4.A.0.3", BoardPrinter(0x0F03).firmware("4.A.0.3").busybox(0x27), bear3, kPrinterDate},
          {"4.H.1.2", BoardPrinter(0x0ECA).firmware("4.H.1.2"), u"Dump only", kPrinterDate},
      },
      "mono+drum");
}

TEST(RuleM6700, NewGenerationGorillaByVersionNumber) {
  const char16_t* gorillaB = u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-B_3.3.0.5";
  const char16_t* gorillaA = u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-A";
  const char16_t* gorilla3402 = u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-A_3.4.0.2+";
  BoardPrinter m6700 = BoardPrinter(0x0ECB).busybox(0x28);
  expectBoards(
      {
          {"3.3.0.5", BoardPrinter(m6700).firmware("3.3.0.5"), gorillaB, kVersionFile},
          {"3.3.0.4", BoardPrinter(m6700).firmware("3.3.0.4"), gorillaA, kVersionFile},
          {"3.3.0.6", BoardPrinter(m6700).firmware("3.3.0.6"), gorillaA, kVersionFile},
          {"3.4.0.1", BoardPrinter(m6700).firmware("3.4.0.1"), gorillaA, kVersionFile},
          {"3.4.0.2", BoardPrinter(m6700).firmware("3.4.0.2"), gorilla3402, kVersionFile},
          {"4.A.0.6 is 4", BoardPrinter(m6700).firmware("4.A.0.6"), gorillaA, kVersionFile},
      },
      "mono+drum");
}

TEST(RuleM6700, NewGenerationBearByLineAndVersionNumber) {
  BoardPrinter m6700 = BoardPrinter(0x0ED0).busybox(0x27);
  expectBoards(
      {
          {"4.A.0.6", BoardPrinter(m6700).firmware("4.A.0.6"), u"Pantum M6700/6760/7100/7160/Bear3-MFP-DC_v.x.A.x.x",
           kVersionFile},
          {"3.6.0.6", BoardPrinter(m6700).firmware("3.6.0.6"),
           u"Pantum M6700/6760/7100/7160/Bear-MFP-DC_v.3.6.0.6_ONLY", kVersionFile},
          {"3.6.0.7", BoardPrinter(m6700).firmware("3.6.0.7"),
           u"Pantum M6700/6760/7100/7160/Bear-MFP-DC_v.3.6.1.x,3.6.2.x", kVersionFile},
          {"3.6.1.0", BoardPrinter(m6700).firmware("3.6.1.0"),
           u"Pantum M6700/6760/7100/7160/Bear-MFP-DC_v.3.6.1.x,3.6.2.x", kVersionFile},
          {"3.6.0.5", BoardPrinter(m6700).firmware("3.6.0.5"), nullptr, kVersionFile},
          {"3.A (short, third character A)", BoardPrinter(m6700).firmware("3.A"),
           u"Pantum M6700/6760/7100/7160/Bear3-MFP-DC_v.x.A.x.x", kVersionFile},
      },
      "mono+drum");
}

TEST(RuleM6700, GenerationThenBusybox) {
  expectFailures({
      {"without version", BoardPrinter(0x0ECA), StageCode::generation, kPrinterDate},
      {"new generation without busybox", BoardPrinter(0x0ECA).firmware("3.3.0.5").noBusybox(), StageCode::platform,
       kVersionFile},
  });
}

TEST(RuleM6700, OldGenerationDoesNotLookAtBusybox) {
  Identified outcome = identify(BoardPrinter(0x0ECA).firmware("4.H.1.1").noBusybox());
  expectDecided(outcome, u"Pantum M6703/Bear3_v.4.H.x.x", "mono+drum");
  EXPECT_FALSE(askedFor(outcome, "/bin/busybox"));
}

TEST(RuleM6800, TwoSeparateCutOffs) {
  const char16_t* only = u"Pantum M6800/6860/7200/Gorilla-MFP-MB-A_3.3.3.6_ONLY";
  BoardPrinter m6800(0x0ECD);
  expectBoards(
      {
          {"3.3.3.6", BoardPrinter(m6800).firmware("3.3.3.6"), only, kVersionFile},
          {"3.3.2.0", BoardPrinter(m6800).firmware("3.3.2.0"), only, kVersionFile},
          {"3.3.3.7", BoardPrinter(m6800).firmware("3.3.3.7"), nullptr, kVersionFile},
          {"3.3.3.60", BoardPrinter(m6800).firmware("3.3.3.60"), only, kVersionFile},
          {"3.3.4.0", BoardPrinter(0x0EF7).firmware("3.3.4.0"), u"Pantum M6800/6860/7200/Gorilla-MFP-MB-A",
           kVersionFile},
      },
      "mono+drum");
  expectFailures({{"without version", BoardPrinter(0x0ED3), StageCode::version, kVersionFile}});
}

TEST(RuleBm5100Adn, HLineOrWolfBoardByLineAndYear) {
  const char16_t* wolfA = u"Pantum BM5100ADN(ADW)/Wolf-MFP-DC-A";
  const char16_t* wolfB = u"Pantum BM5100ADN(ADW)/Wolf-MFP-DC-B";
  BoardPrinter bm5100(0x2730);
  expectBoards(
      {
          {"4.H.0.1", BoardPrinter(bm5100).firmware("4.H.0.1").noBuildDate(), u"Pantum BM5100ADN(ADW)/Wolf_4.H.X.X",
           kPrinterDate},
          {"2.A.1.0 2021", BoardPrinter(bm5100).firmware("2.A.1.0").fileDate("2021-12-31"), wolfA, kVersionFile},
          {"2.A.1.0 2022", BoardPrinter(bm5100).firmware("2.A.1.0").fileDate("2022-01-01"), wolfB, kVersionFile},
          // The year comes from /etc/version, not from the printer's answer.
          {"2.A.1.0 printer 2021, file 2022",
           BoardPrinter(bm5100).firmware("2.A.1.0").printerDate("2021-01-01").fileDate("2022-01-01"), wolfB,
           kVersionFile},
          {"3.A.0.1 2023", BoardPrinter(bm5100).firmware("3.A.0.1").fileDate("2023-01-01"), wolfA, kVersionFile},
          {"T.A.0.1 2023", BoardPrinter(0x273C).firmware("T.A.0.1").fileDate("2023-01-01"), wolfA, kVersionFile},
          {"3.B.0.0", BoardPrinter(bm5100).firmware("3.B.0.0"), nullptr, kVersionFile},
          {"3 (too short)", BoardPrinter(bm5100).firmware("3"), nullptr, kVersionFile},
      },
      "mono+drum");
}

TEST(RuleBm5100Adn, TheHLineReadsNoBuildDate) {
  Identified outcome = identify(BoardPrinter(0x2710).firmware("4.H.0.1"));
  EXPECT_EQ(outcome.asked.size(), 1u) << "only the firmware version";
}

TEST(RuleBm5100Adn, VersionThenBuildDate) {
  expectFailures({
      {"without version", BoardPrinter(0x2731), StageCode::version, kPrinterDate},
      {"without build date", BoardPrinter(0x2731).firmware("2.A.1.0").noBuildDate(), StageCode::buildDate,
       kVersionFile},
  });
}

TEST(RuleBp5100, OldGenerationOrWolfBoardByLineAndYear) {
  const char16_t* wolfA = u"Pantum BP5100DN(DW)/Wolf-MFP-DC-A";
  const char16_t* wolfB = u"Pantum BP5100DN(DW)/Wolf-MFP-DC-B";
  BoardPrinter bp5100(0x2700);
  expectBoards(
      {
          {"4.H.1.0", BoardPrinter(bp5100).firmware("4.H.1.0").noBuildDate(),
           u"Pantum BP5100DN(DW)/Wolf-MFP-DC-A_4.H.x.x", kPrinterDate},
          {"3.A.0.1", BoardPrinter(bp5100).firmware("3.A.0.1").fileDate("2023-01-01"), wolfA, kVersionFile},
          {"2.A.0.1 2021", BoardPrinter(bp5100).firmware("2.A.0.1").fileDate("2021-12-31"), wolfA, kVersionFile},
          {"2.A.0.1 2022", BoardPrinter(bp5100).firmware("2.A.0.1").fileDate("2022-01-01"), wolfB, kVersionFile},
          {"2.A.0.1 printer 2023, file 2021",
           BoardPrinter(bp5100).firmware("2.A.0.1").printerDate("2023-01-01").fileDate("2021-01-01"), wolfA,
           kVersionFile},
          {"T.A.0.1", BoardPrinter(0x270E).firmware("T.A.0.1"), nullptr, kVersionFile},
      },
      "mono+drum");
}

TEST(RuleBp5100, GenerationThenBuildDate) {
  expectFailures({
      {"without version", BoardPrinter(0x2703), StageCode::generation, kPrinterDate},
      {"without build date", BoardPrinter(0x2703).firmware("2.A.0.1").noBuildDate(), StageCode::buildDate,
       kVersionFile},
  });
}

TEST(RuleBm5100Fdn, FirstHoldingTestDecides) {
  const char16_t* wolfA = u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-A";
  const char16_t* wolfA325 = u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-A 3.A.2.5+";
  const char16_t* wolfB = u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-B";
  BoardPrinter bm5100(0x2740);
  expectBoards(
      {
          {"3.A.2.4", BoardPrinter(bm5100).firmware("3.A.2.4"), wolfA, kVersionFile},
          {"3.A.2.10", BoardPrinter(bm5100).firmware("3.A.2.10"), wolfA, kVersionFile},
          {"3.A.2.5", BoardPrinter(bm5100).firmware("3.A.2.5"), wolfA325, kVersionFile},
          {"4.H.1.0", BoardPrinter(bm5100).firmware("4.H.1.0"), wolfA325, kVersionFile},
          {"T.A.0.1", BoardPrinter(0x2742).firmware("T.A.0.1"), wolfA325, kVersionFile},
          {"2.A.0.1 2021", BoardPrinter(bm5100).firmware("2.A.0.1").fileDate("2021-12-31"), wolfA, kVersionFile},
          {"2.A.0.1 2022", BoardPrinter(bm5100).firmware("2.A.0.1").fileDate("2022-01-01"), wolfB, kVersionFile},
          {"2.A.0.1 printer 2021, file 2022",
           BoardPrinter(bm5100).firmware("2.A.0.1").printerDate("2021-01-01").fileDate("2022-01-01"), wolfB,
           kVersionFile},
          {"1.0", BoardPrinter(bm5100).firmware("1.0"), nullptr, kVersionFile},
          {"1.0 2023", BoardPrinter(bm5100).firmware("1.0").fileDate("2023-01-01"), nullptr, kVersionFile},
          {"3.A.2.4 after 2022", BoardPrinter(bm5100).firmware("3.A.2.4").fileDate("2023-1-1"), wolfA, kVersionFile},
      },
      "mono+drum");
}

TEST(RuleBm5100Fdn, VersionThenBuildDateAfterTheSourceSwitch) {
  expectFailures({
      {"without version", BoardPrinter(0x2741), StageCode::version, kVersionFile},
      {"without build date", BoardPrinter(0x2741).firmware("3.A.2.4").noBuildDate(), StageCode::buildDate,
       kVersionFile},
  });
}

}  // namespace kestrava
