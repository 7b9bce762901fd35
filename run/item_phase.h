// The item phase of a run: identifies the board, applies what identification decided, and
// shows the board description, build date, firmware version, serial number and report,
// each the moment it is known; then writes down what the printer answered in the run's
// record.
#pragma once

#include <string>

#include "base/version.h"
#include "run/acquisition_dialog.h"
#include "run/run_record.h"
#include "device/printer_device.h"
#include "info/printer_info.h"

namespace kestrava {

inline constexpr const char16_t* kUndefinedItem = u"undefined";
inline constexpr const char16_t* kProgramIdLine = u"ProgID: " KESTRAVA_VERSION_TEXT "\r\n";

void runItemPhase(PrinterDevice& device, AcquisitionDialog& dialog, RunRecord& record);

// Fills `record` from what `info` keeps (its cached answers and the applied identity);
// asks the printer nothing.
void recordWhatWasRead(PrinterInfo& info, RunRecord& record);

}  // namespace kestrava
