// The item phase of a run: identifies the board and shows the board description, build
// date, firmware version, serial number and report, each the moment it is known.
#pragma once

#include <string>

#include "app/acquisition_dialog.h"
#include "device/printer_device.h"

namespace kestrava {

void runItemPhase(PrinterDevice& device, AcquisitionDialog& dialog, std::u16string& value);

}  // namespace kestrava
