// The trace file's text: what the writer puts down the parser reads back unchanged, and
// every line the writer could not have written is refused with its line number.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "link/trace_file.h"

namespace kestrava {
namespace {

TraceFile parse(const std::string& text) {
  std::istringstream in(text);
  return parseTraceFile(in);
}

std::string errorOf(const std::string& text) {
  try {
    parse(text);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(accepted)";
}

TEST(TraceFileText, AnyDevicePathSurvivesARoundTrip) {
  const std::u16string paths[] = {
      u"\\\\?\\usb#vid_232b&pid_0ef5#virtual0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
      u"tcp://h/vid_232b&pid_0ef5\nread 0.000000 16 5000 ok 0",
      u"with blank\tand tab\r %41 100%",
      std::u16string(u"nul\0inside", 10),
      u"\u00b5\u0085\u007f\u00a0\u20ac\U0001F5A8",
      u"lone \xD800 high and \xDC00 low",
      u"",
  };
  for (const std::u16string& path : paths) {
    SCOPED_TRACE(testing::PrintToString(path.size()));
    TraceEvent open;
    open.kind = TraceEvent::Kind::open;
    open.devicePath = path;
    TraceEvent listed;
    listed.kind = TraceEvent::Kind::listedInterface;
    listed.devicePath = path;
    std::ostringstream out;
    TraceFileWriter writer(out);
    writer.write(listed);
    writer.write(open);
    const std::string text = out.str();
    // One line each: the header, the interface, the device, the usb-id and the open.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5) << text;
    TraceFile file = parse(text);
    EXPECT_EQ(file.device, path);
    ASSERT_EQ(file.events.size(), 2u);
    EXPECT_EQ(file.events[0].devicePath, path);
    EXPECT_EQ(file.events[1].devicePath, path);
  }
}

TEST(TraceFileText, TimesCountsAndBytesRoundTrip) {
  TraceEvent read;
  read.kind = TraceEvent::Kind::read;
  read.end = PipeEnd::read;
  read.sinceStart = std::chrono::microseconds(999999999999999999LL);
  read.requested = 0xFFFFFFFFu;
  read.timeoutMs = 0xFFFFFFFFu;
  read.ok = false;
  read.bytes = std::string("\0\xFF", 2);
  TraceFile file = parse(std::string(kTraceFileHeader) + "\n" + traceFileLine(read) + "\n");
  ASSERT_EQ(file.events.size(), 1u);
  EXPECT_EQ(file.events[0].sinceStart, read.sinceStart);
  EXPECT_EQ(file.events[0].requested, read.requested);
  EXPECT_EQ(file.events[0].timeoutMs, read.timeoutMs);
  EXPECT_FALSE(file.events[0].ok);
  EXPECT_EQ(file.events[0].bytes, read.bytes);
}

TEST(TraceFileText, AByteOrderMarkIsTakenOnlyAtTheStart) {
  EXPECT_NO_THROW(parse("\xEF\xBB\xBFkestrava-trace 1\nusb-id 232B0EF5\n"));
  EXPECT_NO_THROW(parse("\xEF\xBB\xBF# a comment\nkestrava-trace 1\n"));
  EXPECT_EQ(errorOf("kestrava-trace 1\n\xEF\xBB\xBFusb-id 232B0EF5\n").rfind("trace line 2:", 0), 0u);
}

// Each malformed line is refused naming its line (the third: after the header and a
// comment), whatever field is wrong.
TEST(TraceFileText, EveryMalformedLineIsNamed) {
  const char* lines[] = {
      "open 9223372036855.000000 PIPE00 ok vid_232b",
      "open 1.000000000 PIPE00 ok vid_232b",
      "open 1.5 PIPE00 ok vid_232b",
      "open -1.000000 PIPE00 ok vid_232b",
      "open +1.000000 PIPE00 ok vid_232b",
      "open 1.-00001 PIPE00 ok vid_232b",
      "open 1.000000 PIPE02 ok vid_232b",
      "open 1.000000 PIPE00 maybe vid_232b",
      "open 1.000000 PIPE00 ok",
      "open 1.000000 PIPE00 ok vid_232b extra",
      "open 1.000000 PIPE00 ok vid_232b%",
      "open 1.000000 PIPE00 ok vid_232b%4",
      "open 1.000000 PIPE00 ok vid_232b%G0",
      "open 1.000000 PIPE00 ok vid_232b%u0041",
      "open 1.000000 PIPE00 ok vid_232b\xC3",
      "open 1.000000 PIPE00 ok vid_232b\xC0\xAF",
      "open 1.000000 PIPE00 ok vid_232b\xED\xA0\x80",
      "open 1.000000  PIPE00 ok vid_232b",
      "read 0.000001 16 -1 ok 0",
      "read 0.000001 -16 5000 ok 0",
      "read 0.000001 16 4294967296 ok 0",
      "read 0.000001 16 5000 ok 2 0102 junk",
      "read 0.000001 16 5000 ok 2 01020",
      "read 0.000001 16 5000 ok 2 010203",
      "read 0.000001 16 5000 ok 0 01",
      "read 0.000001 16 5000 ok 2",
      "read 0.000001 1 5000 ok 2 0102",
      "read 0.000001 16 5000 ok 0x2 0102",
      "read 0.000001 16 5000",
      "write 0.000001 ok 2 0102 0304",
      "write 0.000001 ok -0",
      "write 0.000001 ok 1 zz",
      "usb-id -1",
      "usb-id 232B0EF5junk",
      "usb-id 232B0EF",
      "usb-id 0x232B0EF5",
      "usb-id 232B0EF5 extra",
      "device",
      "device a b",
      "interface",
      "jump 1",
      " read 0.000001 16 5000 ok 0",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    std::string error = errorOf(std::string("kestrava-trace 1\n# recorded by hand\n") + line + "\n");
    EXPECT_EQ(error.rfind("trace line 3:", 0), 0u) << error;
  }
  EXPECT_EQ(errorOf("kestrava-trace 1\nusb-id 232B0EF5\nusb-id 232B0EF6\n").rfind("trace line 3:", 0), 0u);
  EXPECT_EQ(errorOf("kestrava-trace 1\ndevice a\ndevice b\n").rfind("trace line 3:", 0), 0u);
}

}  // namespace
}  // namespace kestrava
