// What kestrava-cli prints at the end of a run: the six fields of the dialog and what the
// run read, as JSON, or the fields as labelled text for people.
#pragma once

#include <string>

#include "run/acquisition_dialog.h"
#include "run/run_record.h"

namespace kestrava {

// One run as kestrava-cli reports it.
struct RunReport {
  const AcquisitionDialog& dialog;
  const RunRecord& record;
  int exitStatus;
  std::u16string devicePath;  // the interface used or tried; empty when there was none
};

// {"status", "model", "build", "fwVersion", "serialNumber", "report", "device", "outcome",
// "exitStatus", "printer", "formatVersion", "tool", "toolVersion"}, UTF-8, one line;
// docs/json.md describes every member.
std::string runAsJson(const RunReport& run);

// {"error", "outcome", "exitStatus", "formatVersion", "tool", "toolVersion"}: what --json
// prints when there is no run to report (a usage error).
std::string errorAsJson(const std::string& message, int exitStatus);

// The four labelled values, a blank line, the report with `lineEnd` line ends, the status.
std::string runAsText(const AcquisitionDialog& dialog, const std::string& lineEnd);

// A text without blanks, tabs, carriage returns and line feeds at either end.
std::u16string trimmed(const std::u16string& text);

}  // namespace kestrava
