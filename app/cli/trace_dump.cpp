#include "app/cli/trace_dump.h"

#include <cstdio>

#include "base/text_codec.h"
#include "base/visible_text.h"

namespace kestrava {

std::string hexDump(const std::string& bytes) {
  std::string out;
  char piece[32];
  for (std::size_t line = 0; line < bytes.size(); line += 16) {
    std::snprintf(piece, sizeof piece, "  %04zx ", line);
    out += piece;
    for (std::size_t i = line; i < line + 16; ++i) {
      if (i < bytes.size()) {
        std::snprintf(piece, sizeof piece, " %02x", static_cast<unsigned char>(bytes[i]));
        out += piece;
      } else {
        out += "   ";
      }
    }
    out += "  ";
    for (std::size_t i = line; i < line + 16 && i < bytes.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(bytes[i]);
      out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.');
    }
    out += '\n';
  }
  return out;
}

namespace {

// A device path may come from a trace or a scenario: on the terminal it is shown visibly,
// and a path no system makes (thousands of characters) is cut.
std::string shownPath(const std::u16string& path) { return visibleExcerpt(toUtf8(path), 512); }

// The system's error code of a failed operation, where the back end kept one.
std::string systemError(const TraceEvent& event) {
  return event.systemError != 0 ? " (system error " + std::to_string(event.systemError) + ")" : std::string();
}

}  // namespace

std::string formatTraceEvent(const TraceEvent& event) {
  char head[160];
  long long micros = event.sinceStart.count();
  int length = std::snprintf(head, sizeof head, "[%4lld.%06lld] ", micros / 1000000, micros % 1000000);
  std::string out(head, static_cast<std::size_t>(length));
  const char* pipe = pipeName(event.end);
  switch (event.kind) {
    case TraceEvent::Kind::listedInterface: return out + "interface " + shownPath(event.devicePath) + "\n";
    case TraceEvent::Kind::open:
      out += std::string("open ") + pipe + " " + shownPath(event.devicePath) + (event.ok ? "" : ": failed") +
             systemError(event) + "\n";
      return out;
    case TraceEvent::Kind::write:
      std::snprintf(head, sizeof head, "write %zu bytes%s%s\n", event.requested, event.ok ? "" : ": failed",
                    systemError(event).c_str());
      return out + head + hexDump(event.bytes);
    case TraceEvent::Kind::read:
      if (!event.ok && event.bytes.empty()) {
        std::snprintf(head, sizeof head, "read  %zu wanted: time-out or failure after at most %u ms%s\n",
                      event.requested, event.timeoutMs, systemError(event).c_str());
        return out + head;
      }
      std::snprintf(head, sizeof head, "read  %zu of %zu bytes (time-out %u ms)%s%s\n", event.bytes.size(),
                    event.requested, event.timeoutMs, event.ok ? "" : ": failed", systemError(event).c_str());
      return out + head + hexDump(event.bytes);
  }
  return out;
}

}  // namespace kestrava
