// The families whose board shows only in several answers together: the firmware line,
// the machine the printer's own programs are built for, the build year, the memory size,
// and whether the printer knows the memory-size command at all.
#include <cstdint>
#include <string>

#include "boards/rule_inputs.h"
#include "boards/slice_compare.h"
#include "device/printer_device.h"

namespace kestrava {

namespace {

// Boards built from 2022 on are a later revision under the same board name. An M6600
// built from 2024 on carries a board that is not told apart yet.
constexpr std::uint32_t kRevisionYear = 2022;
constexpr std::uint32_t kM6600UnknownYear = 2024;

// The P3301DN was built on its own Gorilla board only, whatever its firmware says.
constexpr std::uint32_t kP3301DnUsbId = 0x232B0EF5;

std::u16string_view head(const std::u16string& version, std::size_t count) {
  return versionSlice(version, 0, count);
}

// The Wolf boards: "3.A" firmware runs on the A board (so does "T.A" on the ADN models);
// "2.A" on the A board until 2021 and on the B board after. Any other line leaves the
// description as it is.
enum class TLine : bool { unknown, onBoardA };

const char16_t* wolfBoard(std::u16string_view line, std::uint32_t year, TLine tLine,
                          const char16_t* boardA, const char16_t* boardB) {
  if (line == u"3.A" || (tLine == TLine::onBoardA && line == u"T.A")) return boardA;
  if (line == u"2.A") return year < kRevisionYear ? boardA : boardB;
  return nullptr;
}

// The P3010 and the newer M6700 lines came on Bear and on Gorilla boards, whose
// programs are built for different machines; both keep their build date in /etc/version.
ResultCode readMachineAndVersion(PrinterDevice& device, bool& isMachine27,
                                 std::u16string& version) {
  device.useVersionFileBuildDate();
  if (ResultCode r = ruleinput::busyboxMachine(device, isMachine27)) return r;
  return ruleinput::firmwareVersion(device, version);
}

void describe(PrinterDevice& device, const char16_t* description) {
  if (description != nullptr) device.boardDescription = description;
}

}  // namespace

ResultCode PrinterDevice::ruleP3010Dw(const std::u16string& model) {
  modelName = model;
  bool isMachine27 = false;
  std::u16string v;
  if (ResultCode r = readMachineAndVersion(*this, isMachine27, v)) return r;

  std::u16string_view fifth = versionSlice(v, 4, 1);
  if (isMachine27) {
    if (head(v, 3) == u"3.A" || head(v, 3) == u"E.A") {
      boardDescription = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear3-SFP-DC_v.x.A.x.x";
    } else if (head(v, 3) == u"4.A" || (head(v, 1) == u"3" && fifth >= u"1" && fifth <= u"9")) {
      boardDescription = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear-SFP-DC-A_3.3.2.0/4.A.0.2";
    } else {
      boardDescription = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Bear-SFP-DC-A_3.3.0.9";
    }
  } else if (link.usbId() == kP3301DnUsbId) {
    boardDescription = u"Pantum P3301/Gorilla-SFP-MB-A";
  } else if (fifth < u"7") {
    boardDescription = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Gorilla-SFP-MB-A";
  } else {
    boardDescription = u"Pantum P3010DW/3060DW/P3300(DN,DW)/Gorilla-SFP-MB-A_3.3.7.3+";
  }
  return finishRule(*this, &PrinterDevice::selectMonoDrumSet);
}

ResultCode PrinterDevice::ruleP3010D(const std::u16string& model) {
  modelName = model;
  bool isMachine27 = false;
  std::u16string v;
  if (ResultCode r = readMachineAndVersion(*this, isMachine27, v)) return r;

  if (isMachine27) {
    boardDescription = u"Pantum P3010D/P3060D/Bear3-SFP-DC-A";
  } else if (versionNumber(v) >= 3272) {
    boardDescription = u"Pantum P3010/P3060/Gorilla-SFP-MB-A_3.2.7.2+";
  } else {
    boardDescription = u"Pantum P3010/P3060/Gorilla-SFP-MB-A";
  }
  return finishRule(*this, &PrinterDevice::selectMonoDrumSet);
}

ResultCode PrinterDevice::ruleM6500(const std::u16string& model) {
  modelName = model;
  bool rev1 = ruleinput::memoryCommandFails(*this);
  std::uint32_t megabytes = 0;
  if (ResultCode r = ruleinput::ramSize(*this, megabytes)) return r;
  std::uint32_t year = 0;
  if (ResultCode r = ruleinput::buildYear(*this, year)) return r;

  if (rev1) {
    boardDescription = u"Pantum M6200/6500/6550_rev1/Spider-MFP-DC-A_128Mb";
  } else if (megabytes == 256) {
    boardDescription = year < kRevisionYear ? u"Pantum M6550NW/Spider2-MFP-DC-B_256Mb"
                                            : u"Pantum M6550NW/Spider2-MFP-DC-D_256Mb";
  } else {
    boardDescription = year < kRevisionYear
                           ? u"Pantum M6200/6500/6550_rev2/Spider2-MFP-DC-B_128Mb"
                           : u"Pantum M6200/6500/6550_rev2/Spider2-MFP-DC-D_128Mb";
  }
  return finishRule(*this, &PrinterDevice::selectMonoSet);
}

ResultCode PrinterDevice::ruleM6600(const std::u16string& model) {
  modelName = model;
  bool rev1 = ruleinput::memoryCommandFails(*this);
  std::uint32_t year = 0;
  if (ResultCode r = ruleinput::buildYear(*this, year)) return r;

  if (rev1) {
    boardDescription = u"Pantum M6600_rev1/Spider-MFP_256Mb";
  } else if (year < kM6600UnknownYear) {
    boardDescription = u"Pantum M6600_rev2/Spider2-MFP_256Mb";
  }
  return finishRule(*this, &PrinterDevice::selectMonoSet);
}

ResultCode PrinterDevice::ruleM6700(const std::u16string& model) {
  modelName = model;
  bool newGeneration = false;
  if (ResultCode r = ruleinput::generation(*this, newGeneration)) return r;

  std::u16string v;
  if (newGeneration) {
    bool isMachine27 = false;
    if (ResultCode r = readMachineAndVersion(*this, isMachine27, v)) return r;
    if (isMachine27) {
      ruleM6700Bear(v);
    } else {
      ruleM6700Gorilla(v);
    }
  } else {
    if (ResultCode r = ruleinput::firmwareVersion(*this, v)) return r;
    boardDescription = head(v, 7) < u"4.H.1.2" ? u"Pantum M6703/Bear3_v.4.H.x.x" : u"Dump only";
  }
  return finishRule(*this, &PrinterDevice::selectMonoDrumSet);
}

void PrinterDevice::ruleM6700Gorilla(const std::u16string& version) {
  std::uint32_t number = versionNumber(version);
  if (number == 3305) {
    boardDescription = u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-B_3.3.0.5";
  } else if (number < 3402) {
    boardDescription = u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-A";
  } else {
    boardDescription = u"Pantum M6700/6760/7100/7160/Gorilla-MFP-MB-A_3.4.0.2+";
  }
}

void PrinterDevice::ruleM6700Bear(const std::u16string& version) {
  if (versionSlice(version, 2, 1) == u"A") {
    boardDescription = u"Pantum M6700/6760/7100/7160/Bear3-MFP-DC_v.x.A.x.x";
    return;
  }
  // Bear firmware before 3.6.0.6 is not told apart yet.
  std::uint32_t number = versionNumber(version);
  if (number == 3606) {
    boardDescription = u"Pantum M6700/6760/7100/7160/Bear-MFP-DC_v.3.6.0.6_ONLY";
  } else if (number > 3606) {
    boardDescription = u"Pantum M6700/6760/7100/7160/Bear-MFP-DC_v.3.6.1.x,3.6.2.x";
  }
}

ResultCode PrinterDevice::ruleM6800(const std::u16string& model) {
  modelName = model;
  useVersionFileBuildDate();
  std::u16string v;
  if (ResultCode r = ruleinput::firmwareVersion(*this, v)) return r;

  // Releases between 3.3.3.6 and 3.3.4.0 are not told apart yet.
  if (head(v, 7) <= u"3.3.3.6") {
    boardDescription = u"Pantum M6800/6860/7200/Gorilla-MFP-MB-A_3.3.3.6_ONLY";
  }
  if (head(v, 7) >= u"3.3.4.0") {
    boardDescription = u"Pantum M6800/6860/7200/Gorilla-MFP-MB-A";
  }
  return finishRule(*this, &PrinterDevice::selectMonoDrumSet);
}

ResultCode PrinterDevice::ruleBm5100Adn(const std::u16string& model) {
  modelName = model;
  std::u16string v;
  if (ResultCode r = ruleinput::firmwareVersion(*this, v)) return r;

  if (versionSlice(v, 2, 1) == u"H") {
    // The H line answers for its build date itself; it is not read here.
    boardDescription = u"Pantum BM5100ADN(ADW)/Wolf_4.H.X.X";
  } else {
    useVersionFileBuildDate();
    std::uint32_t year = 0;
    if (ResultCode r = ruleinput::buildYear(*this, year)) return r;
    describe(*this, wolfBoard(head(v, 3), year, TLine::onBoardA,
                              u"Pantum BM5100ADN(ADW)/Wolf-MFP-DC-A",
                              u"Pantum BM5100ADN(ADW)/Wolf-MFP-DC-B"));
  }
  return finishRule(*this, &PrinterDevice::selectMonoDrumSet);
}

ResultCode PrinterDevice::ruleBp5100(const std::u16string& model) {
  modelName = model;
  bool newGeneration = false;
  if (ResultCode r = ruleinput::generation(*this, newGeneration)) return r;

  if (newGeneration) {
    useVersionFileBuildDate();
    std::u16string v;
    if (ResultCode r = ruleinput::firmwareVersion(*this, v)) return r;
    std::uint32_t year = 0;
    if (ResultCode r = ruleinput::buildYear(*this, year)) return r;
    describe(*this, wolfBoard(head(v, 3), year, TLine::unknown,
                              u"Pantum BP5100DN(DW)/Wolf-MFP-DC-A",
                              u"Pantum BP5100DN(DW)/Wolf-MFP-DC-B"));
  } else {
    boardDescription = u"Pantum BP5100DN(DW)/Wolf-MFP-DC-A_4.H.x.x";
  }
  return finishRule(*this, &PrinterDevice::selectMonoDrumSet);
}

ResultCode PrinterDevice::ruleBm5100Fdn(const std::u16string& model) {
  modelName = model;
  useVersionFileBuildDate();
  std::u16string v;
  if (ResultCode r = ruleinput::firmwareVersion(*this, v)) return r;
  std::uint32_t year = 0;
  if (ResultCode r = ruleinput::buildYear(*this, year)) return r;

  // The first test that holds decides. Every release after 3.A.2.4 (also 4.x, E.x, T.x)
  // counts as the later A board firmware.
  std::u16string_view line = head(v, 3);
  if ((line == u"3.A" && head(v, 7) < u"3.A.2.5") || (line == u"2.A" && year < kRevisionYear)) {
    boardDescription = u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-A";
  } else if (head(v, 7) > u"3.A.2.4") {
    boardDescription = u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-A 3.A.2.5+";
  } else if (line == u"2.A" && year >= kRevisionYear) {
    boardDescription = u"Pantum BM5100FDN(FDW)/Wolf-MFP-DC-B";
  }
  return finishRule(*this, &PrinterDevice::selectMonoDrumSet);
}

}  // namespace kestrava
