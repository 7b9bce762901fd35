#include "boards/compound_rules.h"

#include <cstdint>
#include <string>

#include "boards/slice_compare.h"

namespace kestrava {

namespace {

// Boards built from 2022 on are a later revision under the same board name. An M6600
// built from 2024 on carries a board that is not told apart yet.
constexpr std::uint32_t kRevisionYear = 2022;
constexpr std::uint32_t kM6600UnknownYear = 2024;

// The P3301DN was built on its own Gorilla board only, whatever its firmware says.
constexpr std::uint32_t kP3301DnUsbId = 0x232B0EF5;

// The first `count` characters of a version: its line ("3.A") or its release ("3.A.2.5").
std::u16string_view leading(std::u16string_view version, std::size_t count) { return versionSlice(version, 0, count); }

// The Wolf boards: "3.A" firmware runs on the A board; "2.A" on the A board until 2021 and
// on the B board after. The ADN models also run a "T.A" line on the A board; on the other
// models that line is not known. Any other line leaves the description as it is.
enum class TaLine : bool { notKnown, onBoardA };

ResultCode describeWolfBoard(BoardContext& board, std::u16string_view version, TaLine taLine, const char16_t* boardA,
                             const char16_t* boardB) {
  std::uint32_t year = 0;
  if (ResultCode r = board.buildYear(year); failed(r)) return r;
  std::u16string_view line = leading(version, 3);
  if (line == u"3.A" || (taLine == TaLine::onBoardA && line == u"T.A")) {
    board.describe(boardA);
  } else if (line == u"2.A") {
    board.describe(year < kRevisionYear ? boardA : boardB);
  }
  return ResultCode::noError;
}

// The P3010 and the newer M6700 lines came on Bear and on Gorilla boards, whose programs
// are built for different machines; both keep their build date in /etc/version.
ResultCode readMachineAndVersion(BoardContext& board, bool& isMachine27, std::u16string& version) {
  board.useVersionFileBuildDate();
  if (ResultCode r = board.busyboxMachine(isMachine27); failed(r)) return r;
  return board.firmwareVersion(version);
}

}  // namespace

ResultCode decideP3010Dw(BoardContext& board) {
  bool isMachine27 = false;
  std::u16string version;
  if (ResultCode r = readMachineAndVersion(board, isMachine27, version); failed(r)) return r;

  std::u16string_view line = leading(version, 3);
  std::u16string_view fifthCharacter = versionSlice(version, 4, 1);
  if (isMachine27) {
    if (line == u"3.A" || line == u"E.A") {
      board.describe(u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear3-SFP-DC_v.x.A.x.x");
    } else if (line == u"4.A" || (leading(version, 1) == u"3" && fifthCharacter >= u"1" && fifthCharacter <= u"9")) {
      board.describe(u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear-SFP-DC-A_3.3.2.0/4.A.0.2");
    } else {
      board.describe(u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear-SFP-DC-A_3.3.0.9");
    }
  } else if (board.usbId() == kP3301DnUsbId) {
    board.describe(u"Pantum P3301/Gorilla-SFP-MB-A");
  } else if (fifthCharacter < u"7") {
    board.describe(u"Pantum P3010DW/3060DW/P3300(DN,DW)/Gorilla-SFP-MB-A");
  } else {
    board.describe(u"Pantum P3010DW/3060DW/P3300(DN,DW)/Gorilla-SFP-MB-A_3.3.7.3+");
  }
  return ResultCode::noError;
}

ResultCode decideP3010D(BoardContext& board) {
  bool isMachine27 = false;
  std::u16string version;
  if (ResultCode r = readMachineAndVersion(board, isMachine27, version); failed(r)) return r;

  if (isMachine27) {
    board.describe(u"Pantum P3010D/P3060D/Bear3-SFP-DC-A");
  } else if (versionNumber(version) >= 3272) {
    board.describe(u"Pantum P3010/P3060/Gorilla-SFP-MB-A_3.2.7.2+");
  } else {
    board.describe(u"Pantum P3010/P3060/Gorilla-SFP-MB-A");
  }
  return ResultCode::noError;
}

ResultCode decideM6500(BoardContext& board) {
  bool rev1 = board.memoryCommandFails();
  std::uint32_t megabytes = 0;
  if (ResultCode r = board.ramSize(megabytes); failed(r)) return r;
  std::uint32_t year = 0;
  if (ResultCode r = board.buildYear(year); failed(r)) return r;

  bool revised = year >= kRevisionYear;
  if (rev1) {
    board.describe(u"Pantum M6200/6500/6550_rev1/Spider-MFP-DC-A_128Mb");
  } else if (megabytes == 256) {
    board.describe(revised ? u"Pantum M6550NW/Spider2-MFP-DC-D_256Mb" : u"Pantum M6550NW/Spider2-MFP-DC-B_256Mb");
  } else {
    board.describe(revised ? u"Pantum M6200/6500/6550_rev2/Spider2-MFP-DC-D_128Mb"
                           : u"Pantum M6200/6500/6550_rev2/Spider2-MFP-DC-B_128Mb");
  }
  return ResultCode::noError;
}

ResultCode decideM6600(BoardContext& board) {
  bool rev1 = board.memoryCommandFails();
  std::uint32_t year = 0;
  if (ResultCode r = board.buildYear(year); failed(r)) return r;

  if (rev1) {
    board.describe(u"Pantum M6600_rev1/Spider-MFP_256Mb");
  } else if (year < kM6600UnknownYear) {
    board.describe(u"Pantum M6600_rev2/Spider2-MFP_256Mb");
  }
  return ResultCode::noError;
}

ResultCode decideM6700(BoardContext& board) {
  bool newGeneration = false;
  if (ResultCode r = board.generation(newGeneration); failed(r)) return r;

  std::u16string version;
  if (newGeneration) {
    bool isMachine27 = false;
    if (ResultCode r = readMachineAndVersion(board, isMachine27, version); failed(r)) return r;
    board.describe(isMachine27 ? ruleM6700Bear(version) : ruleM6700Gorilla(version));
  } else {
    if (ResultCode r = board.firmwareVersion(version); failed(r)) return r;
    board.describe(leading(version, 7) < u"4.H.1.2" ? u"Pantum M6703/Bear3_v.4.H.x.x" : kDumpOnly);
  }
  return ResultCode::noError;
}

const char16_t* ruleM6700Gorilla(std::u16string_view version) {
  std::uint32_t number = versionNumber(version);
  if (number == 3305) return u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-B_3.3.0.5";
  if (number < 3402) return u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-A";
  return u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-A_3.4.0.2+";
}

const char16_t* ruleM6700Bear(std::u16string_view version) {
  if (versionSlice(version, 2, 1) == u"A") return u"Pantum M6700/6760/7100/7160/Bear3-MFP-DC_v.x.A.x.x";
  // Bear firmware before 3.6.0.6 is not told apart yet.
  std::uint32_t number = versionNumber(version);
  if (number == 3606) return u"Pantum M6700/6760/7100/7160/Bear-MFP-DC_v.3.6.0.6_ONLY";
  if (number > 3606) return u"Pantum M6700/6760/7100/7160/Bear-MFP-DC_v.3.6.1.x,3.6.2.x";
  return nullptr;
}

ResultCode decideM6800(BoardContext& board) {
  board.useVersionFileBuildDate();
  std::u16string version;
  if (ResultCode r = board.firmwareVersion(version); failed(r)) return r;

  // Two separate tests: releases between 3.3.3.6 and 3.3.4.0 are not told apart yet.
  std::u16string_view release = leading(version, 7);
  if (release <= u"3.3.3.6") board.describe(u"Pantum M6800/6860/7200/Gorilla-MFP-MB-A_3.3.3.6_ONLY");
  if (release >= u"3.3.4.0") board.describe(u"Pantum M6800/6860/7200/Gorilla-MFP-MB-A");
  return ResultCode::noError;
}

ResultCode decideBm5100Adn(BoardContext& board) {
  std::u16string version;
  if (ResultCode r = board.firmwareVersion(version); failed(r)) return r;

  if (versionSlice(version, 2, 1) == u"H") {
    // The H line answers for its build date itself; it is not read here.
    board.describe(u"Pantum BM5100ADN(ADW)/Wolf_4.H.X.X");
    return ResultCode::noError;
  }
  board.useVersionFileBuildDate();
  return describeWolfBoard(board, version, TaLine::onBoardA, u"Pantum BM5100ADN(ADW)/Wolf-MFP-DC-A",
                           u"Pantum BM5100ADN(ADW)/Wolf-MFP-DC-B");
}

ResultCode decideBp5100(BoardContext& board) {
  bool newGeneration = false;
  if (ResultCode r = board.generation(newGeneration); failed(r)) return r;

  if (!newGeneration) {
    board.describe(u"Pantum BP5100DN(DW)/Wolf-MFP-DC-A_4.H.x.x");
    return ResultCode::noError;
  }
  board.useVersionFileBuildDate();
  std::u16string version;
  if (ResultCode r = board.firmwareVersion(version); failed(r)) return r;
  return describeWolfBoard(board, version, TaLine::notKnown, u"Pantum BP5100DN(DW)/Wolf-MFP-DC-A",
                           u"Pantum BP5100DN(DW)/Wolf-MFP-DC-B");
}

ResultCode decideBm5100Fdn(BoardContext& board) {
  board.useVersionFileBuildDate();
  std::u16string version;
  if (ResultCode r = board.firmwareVersion(version); failed(r)) return r;
  std::uint32_t year = 0;
  if (ResultCode r = board.buildYear(year); failed(r)) return r;

  // The first test that holds decides. Every release after 3.A.2.4 (also 4.x, E.x, T.x)
  // counts as the later A board firmware.
  std::u16string_view line = leading(version, 3);
  std::u16string_view release = leading(version, 7);
  if ((line == u"3.A" && release < u"3.A.2.5") || (line == u"2.A" && year < kRevisionYear)) {
    board.describe(u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-A");
  } else if (release > u"3.A.2.4") {
    board.describe(u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-A 3.A.2.5+");
  } else if (line == u"2.A" && year >= kRevisionYear) {
    board.describe(u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-B");
  }
  return ResultCode::noError;
}

}  // namespace kestrava
