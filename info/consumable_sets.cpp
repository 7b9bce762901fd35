#include "info/consumable_sets.h"

namespace kestrava {

namespace {
constexpr const char16_t* kBlackToner = u"Black toner";
constexpr const char16_t* kCyanToner = u"Cyan toner";
constexpr const char16_t* kMagentaToner = u"Magenta toner";
constexpr const char16_t* kYellowToner = u"Yellow toner";
constexpr const char16_t* kDrum = u"Drum";
}  // namespace

ConsumableList tonersOf(ConsumableSet set) {
  switch (set) {
    case ConsumableSet::monoDrum:
    case ConsumableSet::mono: return {{kBlackToner, 0, 0}};
    case ConsumableSet::color:
      // The colour printers number their toners against the list order: black is 3.
      return {{kBlackToner, 3, 0}, {kCyanToner, 2, 0}, {kMagentaToner, 1, 0}, {kYellowToner, 0, 0}};
  }
  return {};
}

ConsumableList drumsOf(ConsumableSet set) {
  if (set == ConsumableSet::monoDrum) return {{kDrum, 0, 0}};
  return {};
}

ReportSwitches reportSwitchesOf(ConsumableSet set) {
  ReportSwitches switches;
  switches.consumables = true;
  switches.drums = set == ConsumableSet::monoDrum;
  return switches;
}

}  // namespace kestrava
