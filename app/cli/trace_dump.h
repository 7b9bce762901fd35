// The --trace dump: every byte written to and read from the printer, as hex and ASCII,
// one block per write or read, with the direction, the length and the time since the
// start of the run.
#pragma once

#include <string>

#include "link/trace_backend.h"

namespace kestrava {

std::string formatTraceEvent(const TraceEvent& event);

// Sixteen bytes a line: offset, hex, ASCII.
std::string hexDump(const std::string& bytes);

}  // namespace kestrava
