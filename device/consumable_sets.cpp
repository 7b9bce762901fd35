// The three consumable sets a board can carry, and the report switches.
#include <utility>

#include "device/printer_device.h"

namespace kestrava {

namespace {
constexpr const char16_t* kBlackToner = u"Black toner";
constexpr const char16_t* kCyanToner = u"Cyan toner";
constexpr const char16_t* kMagentaToner = u"Magenta toner";
constexpr const char16_t* kYellowToner = u"Yellow toner";
constexpr const char16_t* kDrum = u"Drum";
}  // namespace

void PrinterDevice::resetReportSwitches() { switches_ = ReportSwitches{}; }

void PrinterDevice::selectMonoDrumSet() {
  consumables_ = {{kBlackToner, 0, 0}};
  drums_ = {{kDrum, 0, 0}};
  switches_.consumables = true;
  switches_.drums = true;
}

void PrinterDevice::selectMonoSet() {
  consumables_ = {{kBlackToner, 0, 0}};
  drums_.clear();
  switches_.consumables = true;
}

void PrinterDevice::selectColorSet() {
  // The colour printers number their toners against the list order: black is 3.
  consumables_ = {{kBlackToner, 3, 0}, {kCyanToner, 2, 0}, {kMagentaToner, 1, 0}, {kYellowToner, 0, 0}};
  drums_.clear();
  switches_.consumables = true;
}

void PrinterDevice::selectConsumableSet(ConsumableSet set) {
  switch (set) {
    case ConsumableSet::monoDrum: selectMonoDrumSet(); return;
    case ConsumableSet::mono: selectMonoSet(); return;
    case ConsumableSet::color: selectColorSet(); return;
  }
}

void PrinterDevice::setConsumableLists(ConsumableList toners, ConsumableList drums) {
  consumables_ = std::move(toners);
  drums_ = std::move(drums);
}

}  // namespace kestrava
