// Why a run whose printer answered no request ended so, in words for the person at the
// window or the terminal, with what to check. The status line still says "done".
#pragma once

#include <string>

#include "run/run_record.h"

namespace kestrava {

// One sentence without a line end: nothing came at all, or something answered that does
// not speak the printer's protocol. `where` names the far end ("127.0.0.1:9100") or the
// device path.
std::string silenceReason(const RunRecord& record, const std::string& where);

}  // namespace kestrava
