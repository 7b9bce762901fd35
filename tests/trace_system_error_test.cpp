// The system's error code of a failed open, write or read in a trace: written only when
// there is one, read back unchanged, and traces without it read as before.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "link/trace_backend.h"
#include "link/trace_file.h"

namespace kestrava {
namespace {

TraceFile parse(const std::string& text) {
  std::istringstream in(text);
  return parseTraceFile(in);
}

TraceEvent makeEvent(TraceEvent::Kind kind, bool ok, std::uint32_t error, const std::string& bytes) {
  TraceEvent event;
  event.kind = kind;
  event.ok = ok;
  event.systemError = error;
  event.bytes = bytes;
  event.requested = kind == TraceEvent::Kind::read ? 16 : bytes.size();
  event.timeoutMs = kind == TraceEvent::Kind::read ? 5000 : 0;
  event.end = kind == TraceEvent::Kind::read ? PipeEnd::read : PipeEnd::write;
  event.devicePath = u"\\\\?\\usb#vid_232b&pid_0ef5#1";
  event.sinceStart = std::chrono::microseconds(1500);
  return event;
}

TEST(TraceSystemError, WrittenOnlyWhenThereIsOneAndReadBack) {
  using Kind = TraceEvent::Kind;
  struct Case {
    TraceEvent event;
    const char* line;
  };
  const Case cases[] = {
      {makeEvent(Kind::open, false, 32, ""), "open 0.001500 PIPE00 failed \\\\?\\usb#vid_232b&pid_0ef5#1 error 32"},
      {makeEvent(Kind::open, false, 0, ""), "open 0.001500 PIPE00 failed \\\\?\\usb#vid_232b&pid_0ef5#1"},
      {makeEvent(Kind::open, true, 0, ""), "open 0.001500 PIPE00 ok \\\\?\\usb#vid_232b&pid_0ef5#1"},
      {makeEvent(Kind::write, false, 1167, "\x01\xab"), "write 0.001500 failed 2 01ab error 1167"},
      {makeEvent(Kind::write, false, 31, ""), "write 0.001500 failed 0 error 31"},
      {makeEvent(Kind::read, false, 995, ""), "read 0.001500 16 5000 timeout 0 error 995"},
      {makeEvent(Kind::read, false, 0, ""), "read 0.001500 16 5000 timeout 0"},
      {makeEvent(Kind::read, false, 4294967295u, "ab"), "read 0.001500 16 5000 timeout 2 6162 error 4294967295"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(traceFileLine(c.event), c.line);
    TraceFile file = parse(std::string(kTraceFileHeader) + "\n" + c.line + "\n");
    ASSERT_EQ(file.events.size(), 1u);
    const TraceEvent& back = file.events[0];
    EXPECT_EQ(back.kind, c.event.kind);
    EXPECT_EQ(back.ok, c.event.ok);
    EXPECT_EQ(back.systemError, c.event.systemError);
    EXPECT_EQ(back.bytes, c.event.bytes);
    EXPECT_EQ(traceFileLine(back), c.line);
  }
}

TEST(TraceSystemError, ABadCodeIsRefusedWithItsLine) {
  const char* lines[] = {
      "write 0.001500 failed 0 error 0",
      "write 0.001500 failed 0 error -5",
      "write 0.001500 failed 0 error 4294967296",
      "read 0.001500 16 5000 timeout 0 error",
      "open 0.001500 PIPE01 failed path error x5",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    EXPECT_THROW(parse(std::string(kTraceFileHeader) + "\n" + line + "\n"), std::runtime_error);
  }
}

// A back end whose every open fails with a system error: the trace takes it over.
class RefusingBackend : public UsbBackend {
 public:
  std::vector<std::u16string> interfacePaths() override { return {u"p"}; }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string&, PipeEnd) override { return nullptr; }
  std::uint32_t lastSystemError() const override { return 32; }
};

TEST(TraceSystemError, TheTraceTakesTheBackEndsCodeOfAFailedOpen) {
  RefusingBackend refusing;
  std::vector<TraceEvent> events;
  TraceBackend trace(refusing, [&events](const TraceEvent& event) { events.push_back(event); });
  EXPECT_EQ(trace.openPipe(u"p", PipeEnd::write), nullptr);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_FALSE(events[0].ok);
  EXPECT_EQ(events[0].systemError, 32u);
  EXPECT_EQ(trace.lastSystemError(), 32u);
}

}  // namespace
}  // namespace kestrava
