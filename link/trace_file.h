// The trace file: one exchange with a printer in a line-oriented text that people can
// read and tools can parse (docs/trace-format.md). Written by `kestrava-cli --trace FILE`,
// played back by `--device replay:FILE`.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "link/trace_backend.h"

namespace kestrava {

inline constexpr const char* kTraceFileHeader = "kestrava-trace 1";

// One line of the file for an event (without the line end).
std::string traceFileLine(const TraceEvent& event);

// Streams events to a trace file. Before the printer's write pipe is opened it names the
// device path and the USB id the link reads from it.
class TraceFileWriter {
 public:
  explicit TraceFileWriter(std::ostream& out);
  void write(const TraceEvent& event);

 private:
  std::ostream& out_;
};

struct TraceFile {
  std::u16string device;    // from the "device" line, if any
  std::uint32_t usbId = 0;  // from the "usb-id" line, if any
  std::vector<TraceEvent> events;
};

// Reads a trace file; throws std::runtime_error naming the line that is wrong.
TraceFile parseTraceFile(std::istream& in);
TraceFile loadTraceFile(const std::string& fileName);

}  // namespace kestrava
