// What board identification decides about the printer, as one value: the item phase
// hands it to PrinterInfo once, and the report, the build date and the levels follow it.
#pragma once

#include <string>

#include "device/result_code.h"
#include "info/consumable_sets.h"

namespace kestrava {

// Where getBuildDate reads the build date from.
enum class BuildDateSource {
  none,         // no source: getBuildDate fails with 13
  printer,      // queryBuildDate: command 0x0008, then the OID
  versionFile,  // buildDateFromVersionFile: after the marker in /etc/version
};

// The text after which /etc/version holds the build date on most boards.
inline constexpr const char* kDefaultBuildDateMarker = "DATA:";

// Each member starts as it stands for a printer nothing is known of: "undefined" on
// "unsupported yet", the build date from the printer, toner and drum, every report line.
struct BoardIdentity {
  std::u16string modelName = u"undefined";
  std::u16string boardDescription = u"unsupported yet";
  StageCode stageCode = StageCode::none;  // the identification step that failed
  BuildDateSource buildDateSource = BuildDateSource::printer;
  const char* buildDateMarker = kDefaultBuildDateMarker;  // a constant of the program
  ConsumableSet consumableSet = ConsumableSet::monoDrum;

  ReportSwitches reportSwitches() const { return reportSwitchesOf(consumableSet); }
};

}  // namespace kestrava
