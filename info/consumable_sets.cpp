// The three consumable sets a board can carry, and the report switches.
#include "device/printer_device.h"

namespace kestrava {

namespace {
constexpr const char16_t* kBlackToner = u"Black toner";
constexpr const char16_t* kCyanToner = u"Cyan toner";
constexpr const char16_t* kMagentaToner = u"Magenta toner";
constexpr const char16_t* kYellowToner = u"Yellow toner";
constexpr const char16_t* kDrum = u"Drum";
}  // namespace

void PrinterDevice::resetReportSwitches() {
  showSerialNumber = true;
  showFwVersion = true;
  showEngineFwVersion = true;
  showBuildDate = true;
  showRamSize = true;
  showConsumables = false;
  showDrums = false;
}

void PrinterDevice::selectMonoDrumSet() {
  consumables = {{kBlackToner, 0, 0}};
  drums = {{kDrum, 0, 0}};
  showConsumables = true;
  showDrums = true;
}

void PrinterDevice::selectMonoSet() {
  consumables = {{kBlackToner, 0, 0}};
  drums.clear();
  showConsumables = true;
}

void PrinterDevice::selectColorSet() {
  // The colour printers number their toners against the list order: black is 3.
  consumables = {{kBlackToner, 3, 0}, {kCyanToner, 2, 0}, {kMagentaToner, 1, 0}, {kYellowToner, 0, 0}};
  drums.clear();
  showConsumables = true;
}

}  // namespace kestrava
