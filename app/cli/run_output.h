// What kestrava-cli prints at the end of a run: the six fields of the dialog as JSON, or
// as labelled text for people.
#pragma once

#include <string>

#include "run/acquisition_dialog.h"

namespace kestrava {

// {"status", "model", "build", "fwVersion", "serialNumber", "report"}, UTF-8, one line.
std::string runAsJson(const AcquisitionDialog& dialog);

// The four labelled values, a blank line, the report with `lineEnd` line ends, the status.
std::string runAsText(const AcquisitionDialog& dialog, const std::string& lineEnd);

}  // namespace kestrava
