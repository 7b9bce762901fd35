// The item phase of a run: identifies the board and shows the board description, build
// date, firmware version, serial number and report, each the moment it is known.
#pragma once

#include <string>

#include "base/version.h"
#include "run/acquisition_dialog.h"
#include "device/printer_device.h"

namespace kestrava {

inline constexpr const char16_t* kUndefinedItem = u"undefined";
inline constexpr const char16_t* kProgramIdLine = u"ProgID: " KESTRAVA_VERSION_TEXT "\r\n";

void runItemPhase(PrinterDevice& device, AcquisitionDialog& dialog);

}  // namespace kestrava
