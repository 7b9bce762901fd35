// The item phase of a run: identifies the board and shows the board description, build
// date, firmware version, serial number and report, each the moment it is known.
#pragma once

#include <string>

#include "app/acquisition_dialog.h"
#include "device/printer_device.h"

namespace kestrava {

inline constexpr const char16_t* kUndefinedItem = u"undefined";
inline constexpr const char16_t* kProgramIdLine = u"ProgID: 3.36.2.60113\r\n";

void runItemPhase(PrinterDevice& device, AcquisitionDialog& dialog, std::u16string& value);

}  // namespace kestrava
