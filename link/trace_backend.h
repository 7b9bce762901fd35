// Wraps a back end and reports every write and read of the printer's pipes, with the
// time since the trace began on the back end's clock. It only watches: the bytes pass
// through unchanged. The time the run sees is the time of the last event reported, so
// every time the run measures (the data phases' budget, the rest of a short read) is a
// difference of two times in the trace, and a replay on those times measures the same.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/forwarding_backend.h"

namespace kestrava {

struct TraceEvent {
  // listedInterface: a printer-class interface the system listed ("interface PATH" in a trace file).
  enum class Kind { listedInterface, open, write, read };
  Kind kind = Kind::write;
  std::chrono::microseconds sinceStart{0};
  std::string bytes;            // written, or read
  std::size_t requested = 0;    // bytes asked for (write: count given; read: wanted)
  std::uint32_t timeoutMs = 0;  // read only
  bool ok = true;               // write: all taken; read: completed; open: pipe opened
  PipeEnd end = PipeEnd::write;
  std::u16string devicePath;  // listedInterface and open only
  std::uint32_t systemError = 0;  // a failed open, write or read: the system's error code, 0 if none
};

class TraceBackend : public ForwardingBackend {
 public:
  using Sink = std::function<void(const TraceEvent&)>;

  TraceBackend(UsbBackend& inner, Sink sink);

  std::vector<std::u16string> interfacePaths() override;
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;

  void report(TraceEvent event) const;
  std::chrono::steady_clock::time_point now() const override;

 private:
  Sink sink_;
  std::chrono::steady_clock::time_point start_;
  mutable std::chrono::microseconds lastEvent_{0};
};

}  // namespace kestrava
