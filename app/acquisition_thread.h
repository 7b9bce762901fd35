// One acquisition run: a fresh PrinterDevice, open, drain, the item phase, close, and the
// final status. Runs on a worker thread of its own in the dialogs.
#pragma once

#include "app/acquisition_dialog.h"
#include "usb/usb_backend.h"

namespace kestrava {

inline constexpr const char* kBusyStatus = "acquiring data...";
inline constexpr const char* kSuccessStatus = "done";

// Performs the whole run on `dialog` through `backend`; returns 0 on every path, the
// thread's exit code.
unsigned AcquisitionThread(AcquisitionDialog& dialog, UsbBackend& backend);

}  // namespace kestrava
