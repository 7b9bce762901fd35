// The trace parser on any bytes a user may hand `--device replay:FILE`: it either gives
// the events or throws std::runtime_error naming a line; it never crashes or overflows.
// What it accepts is written again and must read back the same (the writer and the
// parser agree on every path, time and byte).
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

#include "link/trace_file.h"

namespace {

bool sameEvents(const kestrava::TraceFile& a, const kestrava::TraceFile& b) {
  if (a.events.size() != b.events.size()) return false;
  for (std::size_t i = 0; i < a.events.size(); ++i) {
    const kestrava::TraceEvent& x = a.events[i];
    const kestrava::TraceEvent& y = b.events[i];
    if (x.kind != y.kind || x.sinceStart != y.sinceStart || x.ok != y.ok || x.bytes != y.bytes ||
        x.devicePath != y.devicePath) {
      return false;
    }
    if (x.kind == kestrava::TraceEvent::Kind::read && (x.requested != y.requested || x.timeoutMs != y.timeoutMs)) {
      return false;
    }
    if (x.kind == kestrava::TraceEvent::Kind::open && x.end != y.end) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrava;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  TraceFile file;
  try {
    file = parseTraceFile(in);
  } catch (const std::runtime_error&) {
    return 0;
  }
  std::string written = std::string(kTraceFileHeader) + "\n";
  for (const TraceEvent& event : file.events) written += traceFileLine(event) + "\n";
  std::istringstream again(written);
  TraceFile reread;
  try {
    reread = parseTraceFile(again);
  } catch (const std::runtime_error&) {
    __builtin_trap();
  }
  if (!sameEvents(file, reread)) __builtin_trap();
  return 0;
}
