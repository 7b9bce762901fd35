#include "link/replay_backend.h"

#include <cstdio>
#include <cstring>

#include "base/text_codec.h"
#include "base/visible_text.h"

namespace kestrava {

namespace {

// Each request of the program begins with the PJL language switch.
constexpr char kRequestStart[] = "\x1b%-12345X@PJL";

class ReplayPipe : public UsbPipe {
 public:
  explicit ReplayPipe(ReplayBackend& replay) : replay_(replay) {}
  long long write(const std::uint8_t* data, std::size_t count) override { return replay_.replayWrite(data, count); }
  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    return replay_.replayRead(buffer, wanted, transferred, timeoutMs);
  }

 private:
  ReplayBackend& replay_;
};

const char* kindName(TraceEvent::Kind kind) {
  switch (kind) {
    case TraceEvent::Kind::listedInterface: return "interface";
    case TraceEvent::Kind::open: return "open";
    case TraceEvent::Kind::write: return "write";
    case TraceEvent::Kind::read: return "read";
  }
  return "?";
}

}  // namespace

ReplayBackend::ReplayBackend(TraceFile trace) : trace_(std::move(trace)) {}

std::vector<std::u16string> ReplayBackend::interfacePaths() {
  std::vector<std::u16string> paths;
  for (const TraceEvent& event : trace_.events) {
    if (event.kind == TraceEvent::Kind::listedInterface) paths.push_back(event.devicePath);
  }
  return paths;
}

void ReplayBackend::differ(const std::string& what) {
  if (mismatch_) return;
  mismatch_ = "replay: request " + std::to_string(requests_) + " (operation " + std::to_string(cursor_ + 1) +
              " of the trace) differs: " + what;
}

const TraceEvent* ReplayBackend::next(TraceEvent::Kind kind, const std::string& doing) {
  if (mismatch_) return nullptr;
  while (cursor_ < trace_.events.size() && trace_.events[cursor_].kind == TraceEvent::Kind::listedInterface) ++cursor_;
  if (cursor_ == trace_.events.size()) {
    differ("the run goes on (" + doing + ") after the end of the trace");
    return nullptr;
  }
  const TraceEvent& event = trace_.events[cursor_];
  if (event.kind != kind) {
    differ("the run does " + doing + " where the trace has a " + kindName(event.kind));
    return nullptr;
  }
  return &event;
}

std::unique_ptr<UsbPipe> ReplayBackend::openPipe(const std::u16string& devicePath, PipeEnd end) {
  const char* pipe = pipeName(end);
  const TraceEvent* event = next(TraceEvent::Kind::open, std::string("an open of ") + pipe);
  if (!event) return nullptr;
  if (event->end != end || event->devicePath != devicePath) {
    differ(std::string("open of ") + pipe + " " + quotedExcerpt(toUtf8(devicePath), 200) + " where the trace opens " +
           pipeName(event->end) + " " + quotedExcerpt(toUtf8(event->devicePath), 200));
    return nullptr;
  }
  replayed(*event);
  return event->ok ? std::make_unique<ReplayPipe>(*this) : nullptr;
}

long long ReplayBackend::replayWrite(const std::uint8_t* data, std::size_t count) {
  std::string written(reinterpret_cast<const char*>(data), count);
  bool startsRequest = written.compare(0, sizeof kRequestStart - 1, kRequestStart) == 0;
  if (startsRequest && !mismatch_) ++requests_;
  const TraceEvent* event = next(TraceEvent::Kind::write, "a write of " + std::to_string(count) + " bytes");
  if (!event) return -1;
  if (event->bytes != written) {
    std::size_t at = 0;
    while (at < written.size() && at < event->bytes.size() && written[at] == event->bytes[at]) ++at;
    char detail[160];
    if (at < written.size() && at < event->bytes.size()) {
      std::snprintf(detail, sizeof detail,
                    "write of %zu bytes, first differing byte %zu: 0x%02X where the trace has 0x%02X", count, at,
                    static_cast<unsigned char>(written[at]), static_cast<unsigned char>(event->bytes[at]));
    } else {
      std::snprintf(detail, sizeof detail, "write of %zu bytes where the trace writes %zu (equal up to byte %zu)",
                    count, event->bytes.size(), at);
    }
    differ(detail);
    return -1;
  }
  replayed(*event);
  return event->ok ? static_cast<long long>(count) : -1;
}

bool ReplayBackend::replayRead(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred,
                               std::uint32_t timeoutMs) {
  transferred = 0;
  const TraceEvent* event = next(TraceEvent::Kind::read, "a read of " + std::to_string(wanted) + " bytes");
  if (!event) return false;
  if (event->requested != wanted || event->timeoutMs != timeoutMs) {
    differ("read of " + std::to_string(wanted) + " bytes with time-out " + std::to_string(timeoutMs) +
           " ms where the trace reads " + std::to_string(event->requested) + " with " +
           std::to_string(event->timeoutMs) + " ms");
    return false;
  }
  replayed(*event);
  std::memcpy(buffer, event->bytes.data(), event->bytes.size());
  transferred = event->bytes.size();
  return event->ok;
}

void ReplayBackend::replayed(const TraceEvent& event) {
  ++cursor_;
  if (event.sinceStart > clock_) clock_ = event.sinceStart;
}

void ReplayBackend::finish() {
  if (mismatch_) return;
  std::size_t left = 0;
  for (std::size_t i = cursor_; i < trace_.events.size(); ++i)
    left += trace_.events[i].kind != TraceEvent::Kind::listedInterface;
  if (left > 0) differ("the run ended but the trace has " + std::to_string(left) + " more operations");
}

}  // namespace kestrava
