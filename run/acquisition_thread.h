// One acquisition run: a fresh PrinterDevice, open, drain, the item phase, close, and the
// final status. Runs on a worker thread of its own in the dialogs.
#pragma once

#include "link/usb_backend.h"
#include "run/acquisition_dialog.h"
#include "run/run_outcome.h"
#include "run/run_record.h"

namespace kestrava {

inline constexpr const char* kBusyStatus = "acquiring data...";
inline constexpr const char* kSuccessStatus = "done";

// Performs the whole run on `dialog` through `backend` and says how it ended.
RunOutcome runAcquisition(AcquisitionDialog& dialog, UsbBackend& backend);

// The same, and `record` receives what the run read (reset first).
RunOutcome runAcquisition(AcquisitionDialog& dialog, UsbBackend& backend, RunRecord& record);

// The run as a thread procedure: runAcquisition, then the thread's exit code, 0 on
// every path.
unsigned AcquisitionThread(AcquisitionDialog& dialog, UsbBackend& backend);

}  // namespace kestrava
