#include "link/trace_backend.h"

namespace kestrava {

namespace {

class TracePipe : public UsbPipe {
 public:
  TracePipe(std::unique_ptr<UsbPipe> inner, const TraceBackend& trace, PipeEnd end)
      : inner_(std::move(inner)), trace_(trace), end_(end) {}

  long long write(const std::uint8_t* data, std::size_t count) override {
    long long written = inner_->write(data, count);
    TraceEvent event;
    event.kind = TraceEvent::Kind::write;
    event.bytes.assign(reinterpret_cast<const char*>(data), count);
    event.requested = count;
    event.ok = written == static_cast<long long>(count);
    if (!event.ok) event.systemError = trace_.lastSystemError();
    event.end = end_;
    trace_.report(std::move(event));
    return written;
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    bool completed = inner_->read(buffer, wanted, transferred, timeoutMs);
    TraceEvent event;
    event.kind = TraceEvent::Kind::read;
    std::size_t shown = transferred < wanted ? transferred : wanted;
    event.bytes.assign(reinterpret_cast<const char*>(buffer), shown);
    event.requested = wanted;
    event.timeoutMs = timeoutMs;
    event.ok = completed;
    if (!completed) event.systemError = trace_.lastSystemError();
    event.end = end_;
    trace_.report(std::move(event));
    return completed;
  }

 private:
  std::unique_ptr<UsbPipe> inner_;
  const TraceBackend& trace_;
  PipeEnd end_;
};

}  // namespace

TraceBackend::TraceBackend(UsbBackend& inner, Sink sink)
    : ForwardingBackend(inner), sink_(std::move(sink)), start_(inner.now()) {}

std::vector<std::u16string> TraceBackend::interfacePaths() {
  std::vector<std::u16string> paths = inner_.interfacePaths();
  for (const std::u16string& path : paths) {
    TraceEvent event;
    event.kind = TraceEvent::Kind::listedInterface;
    event.devicePath = path;
    report(std::move(event));
  }
  return paths;
}

std::unique_ptr<UsbPipe> TraceBackend::openPipe(const std::u16string& devicePath, PipeEnd end) {
  std::unique_ptr<UsbPipe> pipe = inner_.openPipe(devicePath, end);
  TraceEvent event;
  event.kind = TraceEvent::Kind::open;
  event.ok = pipe != nullptr;
  if (!pipe) event.systemError = inner_.lastSystemError();
  event.end = end;
  event.devicePath = devicePath;
  report(std::move(event));
  if (!pipe) return nullptr;
  return std::make_unique<TracePipe>(std::move(pipe), *this, end);
}

void TraceBackend::report(TraceEvent event) const {
  lastEvent_ = std::chrono::duration_cast<std::chrono::microseconds>(inner_.now() - start_);
  event.sinceStart = lastEvent_;
  if (sink_) sink_(event);
}

std::chrono::steady_clock::time_point TraceBackend::now() const { return start_ + lastEvent_; }

}  // namespace kestrava
