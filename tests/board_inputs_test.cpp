#include <gtest/gtest.h>

#include <string>

#include "board_test_support.h"

namespace kestrava {

using testing::BoardPrinter;
using testing::ConnectedDevice;

TEST(CheckGeneration, TheHLineAndFourAReleasesAreTheOldGeneration) {
  struct Case {
    const char* firmware;
    bool newGeneration;
  };
  const Case cases[] = {
      {"4.H.1.3", false}, {"3.H.1.0", false}, {"4.A.0.2", false},
      {"4.A.0.5", false}, {"4.A.0.3", false}, {"4.A.0.5.1", false},  // only the first seven characters count
      {"4.A.0.1", true},  {"4.A.0.6", true},  {"3.3.0.9", true},
      {"4.A.0", true},    {"4.A.0.10", true},  // '4.A.0.1' sorts before '4.A.0.2'
      {"4", true},                             // too short to have an "H"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firmware);
    ConnectedDevice fixture(BoardPrinter(0xA421).firmware(c.firmware).scenario);
    bool newGeneration = !c.newGeneration;
    EXPECT_EQ(checkGeneration(fixture.info, newGeneration), ResultCode::noError);
    EXPECT_EQ(newGeneration, c.newGeneration);
  }
}

TEST(CheckGeneration, AFailureLeavesTheAnswerUnwritten) {
  for (bool open : {true, false}) {
    SCOPED_TRACE(open ? "version unknown" : "link not open");
    ConnectedDevice fixture(BoardPrinter(0xA421).scenario, open);
    for (bool before : {true, false}) {
      bool newGeneration = before;
      EXPECT_EQ(checkGeneration(fixture.info, newGeneration),
                open ? ResultCode::executionFailed : ResultCode::notConnected);
      EXPECT_EQ(newGeneration, before);
    }
  }
}

TEST(ProbeBusyboxMachine, ReadsByteEighteenOfTheElfHead) {
  struct Case {
    const char* what;
    BoardPrinter printer;
    testing::ExpectedCode result;
    bool isMachine27;
  };
  const Case cases[] = {
      {"MIPS busybox", BoardPrinter(0x0EC5).busybox(0x27), ResultCode::noError, true},
      {"ARM busybox", BoardPrinter(0x0EC5).busybox(0x28), ResultCode::noError, false},
      {"33 bytes: the buffer is full", BoardPrinter(0x0EC5).busybox(0x27, 33), ResultCode::noError, true},
      {"32 bytes: a file this small is no program", BoardPrinter(0x0EC5).busybox(0x27, 32), ResultCode::noError, false},
      {"10 bytes", BoardPrinter(0x0EC5).busybox(0x27, 10), ResultCode::noError, false},
      {"no busybox", BoardPrinter(0x0EC5).noBusybox(), ResultCode::executionFailed, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ConnectedDevice fixture(c.printer.scenario);
    bool isMachine27 = !c.isMachine27;
    EXPECT_EQ(probeBusyboxMachine(fixture.device, isMachine27), c.result);
    EXPECT_EQ(isMachine27, c.isMachine27);
  }
}

TEST(ProbeBusyboxMachine, WithoutAnOpenLinkAsksNothingAndSaysNo) {
  ConnectedDevice fixture(BoardPrinter(0x0EC5).busybox(0x27).scenario, false);
  bool isMachine27 = true;
  EXPECT_EQ(probeBusyboxMachine(fixture.device, isMachine27), ResultCode::notConnected);
  EXPECT_FALSE(isMachine27);
  EXPECT_EQ(fixture.requestCount(), 0u);
}

}  // namespace kestrava
