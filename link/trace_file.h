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

// A trace is read whole: at most this big (a run that read a 64 MiB file writes twice that
// in hex), and no transfer in it longer than the longest answer a run takes.
inline constexpr std::size_t kMaxTraceFileBytes = 256u << 20;
inline constexpr std::uint32_t kMaxTraceTransferBytes = 64u << 20;

// One line of the file for an event (without the line end).
std::string traceFileLine(const TraceEvent& event);

// Streams events to a trace file. Before the printer's write pipe is opened it names the
// device path and the USB id the link reads from it.
class TraceFileWriter {
 public:
  explicit TraceFileWriter(std::ostream& out);
  void write(const TraceEvent& event);
  // Hands what is written to the system (every event is flushed as it is written).
  void flush();

  // Whether a write to the file failed (a full disk): the trace is then not whole. The
  // system's error number of the first failure, 0 when it gave none.
  bool failed() const { return failed_; }
  int failure() const { return failure_; }

 private:
  std::ostream& out_;
  bool failed_ = false;
  int failure_ = 0;
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
