// Plays the printer's side of a recorded trace: every write the program makes must equal
// the next recorded write byte for byte, every read gets the recorded bytes (a recorded
// time-out is a time-out, returned at once). The first difference is kept as a mismatch
// and every later operation fails, so the run ends quickly. The run's clock is the
// trace's: it stands at the time of the last operation replayed, so a slow printer's
// time-outs and data phases measure what they measured when the trace was written.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "link/trace_file.h"
#include "link/usb_backend.h"

namespace kestrava {

class ReplayBackend : public UsbBackend {
 public:
  explicit ReplayBackend(TraceFile trace);

  std::vector<std::u16string> interfacePaths() override;
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;
  std::chrono::steady_clock::time_point now() const override { return start_ + clock_; }

  // Call after the run: records a mismatch when the trace holds operations the run did
  // not make.
  void finish();

  // The first difference between the run and the trace, naming the request.
  const std::optional<std::string>& mismatch() const { return mismatch_; }

  // Used by the pipes.
  long long replayWrite(const std::uint8_t* data, std::size_t count);
  bool replayRead(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs);

 private:
  const TraceEvent* next(TraceEvent::Kind kind, const std::string& doing);
  void replayed(const TraceEvent& event);
  void differ(const std::string& what);

  TraceFile trace_;
  std::size_t cursor_ = 0;  // next event to replay
  unsigned requests_ = 0;   // requests begun so far (writes of the PJL switch)
  std::optional<std::string> mismatch_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::microseconds clock_{0};  // the time of the last operation replayed
};

}  // namespace kestrava
