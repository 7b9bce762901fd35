// The three consumable sets a board can carry, and the report lines they turn on.
#pragma once

#include "info/consumable_entry.h"

namespace kestrava {

// The three consumable sets a board can carry.
enum class ConsumableSet {
  monoDrum,  // black toner and a separate drum
  mono,      // black toner alone
  color,     // black, cyan, magenta and yellow toner
};

// Which optional lines the report prints.
struct ReportSwitches {
  bool serialNumber = true;
  bool fwVersion = true;
  bool engineFwVersion = true;
  bool buildDate = true;
  bool ramSize = true;
  bool consumables = false;
  bool drums = false;
  bool operator==(const ReportSwitches&) const = default;
};

// The toners and the drums of a set, in the order the report lists them; no level is
// known yet.
ConsumableList tonersOf(ConsumableSet set);
ConsumableList drumsOf(ConsumableSet set);

// Every line on but the levels, and then the level lines of the set's consumables: a set
// only turns on the lines of what it carries.
ReportSwitches reportSwitchesOf(ConsumableSet set);

}  // namespace kestrava
