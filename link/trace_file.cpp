#include "link/trace_file.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "base/bounded_file.h"
#include "base/hex_text.h"
#include "base/text_codec.h"
#include "base/visible_text.h"
#include "link/usb_printer_link.h"

namespace kestrava {

namespace {

// " HEX", or nothing for no bytes.
std::string hexField(const std::string& bytes) {
  std::string field;
  if (!bytes.empty()) field.append(" ").append(hexFromBytes(bytes));
  return field;
}

std::string timeOf(const TraceEvent& event) {
  char text[32];
  long long micros = event.sinceStart.count();
  std::snprintf(text, sizeof text, "%lld.%06lld", micros / 1000000, micros % 1000000);
  return text;
}

[[noreturn]] void fail(std::size_t line, const std::string& what) {
  throw std::runtime_error("trace line " + std::to_string(line) + ": " + what);
}

bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// A device path as one field: UTF-8, with every control character, blank and "%" as
// "%XX" and a lone surrogate as "%uXXXX", so a path with any code unit in it comes back
// as it was and never spills onto a line of its own.
std::string escapedPath(const std::u16string& path) {
  std::string out;
  char code[8];
  for (std::size_t i = 0; i < path.size(); ++i) {
    char16_t unit = path[i];
    if (isHighSurrogate(unit) && i + 1 < path.size() && isLowSurrogate(path[i + 1])) {
      out += toUtf8(path.substr(i, 2));
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      std::snprintf(code, sizeof code, "%%u%04X", static_cast<unsigned>(unit));
      out += code;
    } else if (unit <= 0x20 || unit == 0x7F || (unit >= 0x80 && unit <= 0x9F) || unit == u'%') {
      std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned>(unit));
      out += code;
    } else {
      out += toUtf8(std::u16string_view(&path[i], 1));
    }
  }
  return out;
}

// Digits only, at most `maxDigits` of them, so no value can overflow what holds it.
bool parseDigits(std::string_view text, std::size_t maxDigits, unsigned base, std::uint64_t& value) {
  if (text.empty() || text.size() > maxDigits) return false;
  value = 0;
  for (char c : text) {
    int digit = hexDigitValue(static_cast<unsigned char>(c));
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    value = value * base + static_cast<unsigned>(digit);
  }
  return true;
}

// Strict UTF-8 (decodeUtf8Character) with the escapes of escapedPath; false on anything else.
bool unescapePath(std::string_view text, std::u16string& path) {
  path.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead == '%') {
      std::uint64_t value = 0;
      if (i + 1 < text.size() && text[i + 1] == 'u') {
        if (!parseDigits(text.substr(i + 2, 4), 4, 16, value) || text.size() - i < 6) return false;
        if (!isHighSurrogate(static_cast<char16_t>(value)) && !isLowSurrogate(static_cast<char16_t>(value)))
          return false;
        i += 6;
      } else {
        if (text.size() - i < 3 || !parseDigits(text.substr(i + 1, 2), 2, 16, value)) return false;
        i += 3;
      }
      path.push_back(static_cast<char16_t>(value));
      continue;
    }
    if (lead <= 0x20 || lead == 0x7F) return false;
    std::optional<Utf8Character> character = decodeUtf8Character(text.substr(i));
    if (!character) return false;
    if (character->codePoint >= 0x80 && character->codePoint <= 0x9F) return false;  // always escaped by the writer
    appendUtf16(character->codePoint, path);
    i += character->length;
  }
  return true;
}

// The fields of a line, separated by exactly one blank.
std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t blank = line.find(' ', start);
    fields.push_back(line.substr(start, blank == std::string_view::npos ? std::string_view::npos : blank - start));
    if (blank == std::string_view::npos) break;
    start = blank + 1;
  }
  return fields;
}

// " error N" after a failed operation that the system gave a reason for; nothing else.
std::string systemErrorField(const TraceEvent& event) {
  return event.systemError != 0 ? " error " + std::to_string(event.systemError) : std::string();
}

std::string eventLine(const TraceEvent& event) {
  switch (event.kind) {
    case TraceEvent::Kind::listedInterface: return "interface " + escapedPath(event.devicePath);
    case TraceEvent::Kind::open:
      return "open " + timeOf(event) + " " + pipeName(event.end) + (event.ok ? " ok " : " failed ") +
             escapedPath(event.devicePath);
    case TraceEvent::Kind::write:
      return "write " + timeOf(event) + (event.ok ? " ok " : " failed ") + std::to_string(event.bytes.size()) +
             hexField(event.bytes);
    case TraceEvent::Kind::read:
      return "read " + timeOf(event) + " " + std::to_string(event.requested) + " " + std::to_string(event.timeoutMs) +
             (event.ok ? " ok " : " timeout ") + std::to_string(event.bytes.size()) + hexField(event.bytes);
  }
  return {};
}

}  // namespace

std::string traceFileLine(const TraceEvent& event) {
  if (event.kind == TraceEvent::Kind::listedInterface) return eventLine(event);
  return eventLine(event) + systemErrorField(event);
}

TraceFileWriter::TraceFileWriter(std::ostream& out) : out_(out) { out_ << kTraceFileHeader << '\n'; }

void TraceFileWriter::write(const TraceEvent& event) {
  if (event.kind == TraceEvent::Kind::open && event.end == PipeEnd::write && event.ok) {
    std::size_t match = event.devicePath.find(UsbPrinterLink::defaultPathFilter);
    char id[16];
    std::snprintf(id, sizeof id, "%08X", match == std::u16string::npos ? 0u : parseUsbId(event.devicePath, match));
    out_ << "device " << escapedPath(event.devicePath) << '\n' << "usb-id " << id << '\n';
  }
  out_ << traceFileLine(event) << '\n';
  flush();
}

void TraceFileWriter::flush() {
  errno = 0;
  out_.flush();
  if (!out_ && !failed_) {
    failed_ = true;
    failure_ = errno;
  }
}

namespace {

// One line of events being read: its fields and the event they make. Every mistake names
// the line by its number.
class EventLine {
 public:
  EventLine(std::size_t number, std::string_view text) : number_(number), fields_(fieldsOf(text)) { takeSystemError(); }

  std::string_view kind() const { return fields_[0]; }
  std::string_view field(std::size_t at) const { return fields_[at]; }
  [[noreturn]] void fail(const std::string& what) const { kestrava::fail(number_, what); }

  void expectFields(std::size_t count, const char* form) const {
    if (fields_.size() != count) fail(std::string("expected \"") + form + "\"");
  }
  void expectAtLeast(std::size_t count, const char* form) const {
    if (fields_.size() < count) fail(std::string("expected \"") + form + "\"");
  }

  // SECONDS.MICROSECONDS; twelve digits of seconds (over 30,000 years) keep the
  // microseconds within 64 bits.
  void readTime(std::size_t at) {
    std::string_view time = fields_[at];
    std::size_t dot = time.find('.');
    std::uint64_t seconds = 0, micros = 0;
    if (dot == std::string_view::npos || !parseDigits(time.substr(0, dot), 12, 10, seconds) || time.size() - dot != 7 ||
        !parseDigits(time.substr(dot + 1), 6, 10, micros)) {
      fail("bad time " + quotedExcerpt(time));
    }
    event.sinceStart = std::chrono::microseconds(static_cast<long long>(seconds * 1000000 + micros));
  }

  void readOutcome(std::size_t at, const char* success, const char* failure) {
    std::string_view word = fields_[at];
    if (word != success && word != failure) fail("expected " + std::string(success) + " or " + failure);
    event.ok = word == success;
  }

  std::uint32_t readCount(std::size_t at, const char* what) const {
    std::uint64_t value = 0;
    if (!parseDigits(fields_[at], 10, 10, value) || value > 0xFFFFFFFFu)
      fail(std::string("bad ") + what + " " + quotedExcerpt(fields_[at]));
    return static_cast<std::uint32_t>(value);
  }

  // COUNT, then the bytes in hex when there are any: the last fields of the line.
  void readBytes(std::size_t at) {
    std::uint32_t count = readCount(at, "byte count");
    if (count > kMaxTraceTransferBytes) {
      fail("more than " + sizeInWords(kMaxTraceTransferBytes) + " in one transfer (no answer is longer)");
    }
    if (fields_.size() != at + (count == 0 ? 1 : 2)) fail("byte count and hex differ");
    if (count != 0 && (!bytesFromHex(fields_[at + 1], event.bytes) || event.bytes.size() != count)) {
      fail("byte count and hex differ");
    }
  }

  void readPath(std::size_t at, std::u16string& path) const {
    if (!unescapePath(fields_[at], path)) fail("bad device path " + quotedExcerpt(fields_[at]));
  }

  TraceEvent event;

 private:
  // A failed open, write or read may end with "error N", the system's error code. The
  // field before it is never "error" otherwise (a time, an outcome, a count or hex).
  void takeSystemError() {
    std::string_view kind = fields_[0];
    if ((kind == "open" || kind == "write" || kind == "read") && fields_.size() >= 3 &&
        fields_[fields_.size() - 2] == "error") {
      std::uint64_t code = 0;
      if (!parseDigits(fields_.back(), 10, 10, code) || code == 0 || code > 0xFFFFFFFFu)
        fail("bad system error " + quotedExcerpt(fields_.back()));
      event.systemError = static_cast<std::uint32_t>(code);
      fields_.resize(fields_.size() - 2);
    }
  }

  std::size_t number_;
  std::vector<std::string_view> fields_;
};

// The lines that describe the recorded printer rather than an event: "device" and
// "usb-id", each at most once. False for any other line.
struct PrinterLines {
  bool deviceSeen = false;
  bool usbIdSeen = false;

  bool read(const EventLine& line, TraceFile& file) {
    if (line.kind() == "device") {
      line.expectFields(2, "device PATH");
      if (deviceSeen) line.fail("a second device line");
      deviceSeen = true;
      line.readPath(1, file.device);
      return true;
    }
    if (line.kind() == "usb-id") {
      line.expectFields(2, "usb-id XXXXXXXX");
      std::uint64_t id = 0;
      if (!parseDigits(line.field(1), 8, 16, id) || line.field(1).size() != 8)
        line.fail("bad usb-id " + quotedExcerpt(line.field(1)));
      if (usbIdSeen) line.fail("a second usb-id line");
      usbIdSeen = true;
      file.usbId = static_cast<std::uint32_t>(id);
      return true;
    }
    return false;
  }
};

// An "interface", "open", "write" or "read" line as the event it records.
TraceEvent readEvent(EventLine& line) {
  TraceEvent& event = line.event;
  std::string_view kind = line.kind();
  if (kind == "interface") {
    line.expectFields(2, "interface PATH");
    event.kind = TraceEvent::Kind::listedInterface;
    line.readPath(1, event.devicePath);
  } else if (kind == "open") {
    line.expectFields(5, "open TIME PIPE ok|failed PATH");
    event.kind = TraceEvent::Kind::open;
    line.readTime(1);
    if (line.field(2) != pipeName(PipeEnd::write) && line.field(2) != pipeName(PipeEnd::read))
      line.fail("expected PIPE00 or PIPE01");
    event.end = line.field(2) == pipeName(PipeEnd::write) ? PipeEnd::write : PipeEnd::read;
    line.readOutcome(3, "ok", "failed");
    line.readPath(4, event.devicePath);
  } else if (kind == "write") {
    line.expectAtLeast(4, "write TIME ok|failed COUNT [HEX]");
    event.kind = TraceEvent::Kind::write;
    line.readTime(1);
    line.readOutcome(2, "ok", "failed");
    line.readBytes(3);
    event.requested = event.bytes.size();
  } else if (kind == "read") {
    line.expectAtLeast(6, "read TIME WANTED TIMEOUT-MS ok|timeout COUNT [HEX]");
    event.kind = TraceEvent::Kind::read;
    event.end = PipeEnd::read;
    line.readTime(1);
    event.requested = line.readCount(2, "read size");
    event.timeoutMs = line.readCount(3, "time-out");
    line.readOutcome(4, "ok", "timeout");
    line.readBytes(5);
    if (event.bytes.size() > event.requested) line.fail("more bytes read than wanted");
  } else {
    line.fail("unknown line " + quotedExcerpt(kind));
  }
  return std::move(event);
}

}  // namespace

TraceFile parseTraceFile(std::istream& in) {
  TraceFile file;
  std::string text;
  std::size_t number = 0;
  bool headerSeen = false;
  PrinterLines printer;
  while (std::getline(in, text)) {
    ++number;
    // An editor may put a byte-order mark at the start of the file; nowhere else.
    if (number == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    if (!headerSeen) {
      if (text != kTraceFileHeader) fail(number, std::string("expected \"") + kTraceFileHeader + "\"");
      headerSeen = true;
      continue;
    }
    EventLine line(number, text);
    if (!printer.read(line, file)) file.events.push_back(readEvent(line));
  }
  if (!headerSeen) fail(number, "empty trace");
  return file;
}

TraceFile loadTraceFile(const std::string& fileName) {
  std::string text, error;
  if (!readRegularFile(fileName, kMaxTraceFileBytes, text, error)) {
    throw std::runtime_error("cannot read trace file " + quotedExcerpt(fileName, 200) + ": " + error);
  }
  std::istringstream in(std::move(text));
  return parseTraceFile(in);
}

}  // namespace kestrava
