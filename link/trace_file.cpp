#include "link/trace_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/hex_text.h"
#include "base/text_codec.h"
#include "link/usb_printer_link.h"

namespace kestrava {

namespace {

// " HEX", or nothing for no bytes. Appended to the space rather than `" " + hex`: GCC 12
// at -O3 for i686 takes that for an overlapping copy (a false -Wrestrict alarm).
std::string hexField(const std::string& bytes) {
  if (bytes.empty()) return {};
  std::string field(1, ' ');
  field += hexFromBytes(bytes);
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

}  // namespace

std::string traceFileLine(const TraceEvent& event) {
  switch (event.kind) {
    case TraceEvent::Kind::interface:
      return "interface " + toUtf8(event.devicePath);
    case TraceEvent::Kind::open:
      return "open " + timeOf(event) + " " + pipeName(event.end) + (event.ok ? " ok " : " failed ") + toUtf8(event.devicePath);
    case TraceEvent::Kind::write:
      return "write " + timeOf(event) + (event.ok ? " ok " : " failed ") + std::to_string(event.bytes.size()) + hexField(event.bytes);
    case TraceEvent::Kind::read:
      return "read " + timeOf(event) + " " + std::to_string(event.requested) + " " + std::to_string(event.timeoutMs) +
             (event.ok ? " ok " : " timeout ") + std::to_string(event.bytes.size()) + hexField(event.bytes);
  }
  return {};
}

TraceFileWriter::TraceFileWriter(std::ostream& out) : out_(out) { out_ << kTraceFileHeader << '\n'; }

void TraceFileWriter::write(const TraceEvent& event) {
  if (event.kind == TraceEvent::Kind::open && event.end == PipeEnd::write && event.ok) {
    std::size_t match = event.devicePath.find(UsbPrinterLink::defaultPathFilter);
    char id[16];
    std::snprintf(id, sizeof id, "%08X", match == std::u16string::npos ? 0u : parseUsbId(event.devicePath, match));
    out_ << "device " << toUtf8(event.devicePath) << '\n' << "usb-id " << id << '\n';
  }
  out_ << traceFileLine(event) << '\n';
  out_.flush();
}

TraceFile parseTraceFile(std::istream& in) {
  TraceFile file;
  std::string text;
  std::size_t number = 0;
  bool headerSeen = false;
  while (std::getline(in, text)) {
    ++number;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    if (!headerSeen) {
      if (text != kTraceFileHeader) fail(number, std::string("expected \"") + kTraceFileHeader + "\"");
      headerSeen = true;
      continue;
    }
    std::istringstream words(text);
    std::string kind;
    words >> kind;
    TraceEvent event;
    auto readTime = [&]() {
      std::string time;
      words >> time;
      std::size_t dot = time.find('.');
      if (dot == std::string::npos || time.size() - dot != 7) fail(number, "bad time " + time);
      try {
        event.sinceStart = std::chrono::microseconds(std::stoll(time.substr(0, dot)) * 1000000 + std::stoll(time.substr(dot + 1)));
      } catch (const std::exception&) {
        fail(number, "bad time " + time);
      }
    };
    auto readOutcome = [&](const char* success, const char* failure) {
      std::string word;
      words >> word;
      if (word != success && word != failure) fail(number, "expected " + std::string(success) + " or " + failure);
      event.ok = word == success;
    };
    auto readBytes = [&]() {
      std::size_t count = 0;
      std::string hex;
      if (!(words >> count)) fail(number, "missing byte count");
      words >> hex;
      if (!bytesFromHex(hex, event.bytes) || event.bytes.size() != count) fail(number, "byte count and hex differ");
    };
    if (kind == "device") {
      std::string rest;
      std::getline(words >> std::ws, rest);
      file.device = fromUtf8(rest);
      continue;
    }
    if (kind == "usb-id") {
      std::string id;
      words >> id;
      try {
        file.usbId = static_cast<std::uint32_t>(std::stoul(id, nullptr, 16));
      } catch (const std::exception&) {
        fail(number, "bad usb-id " + id);
      }
      continue;
    }
    if (kind == "interface") {
      std::string rest;
      std::getline(words >> std::ws, rest);
      event.kind = TraceEvent::Kind::interface;
      event.devicePath = fromUtf8(rest);
    } else if (kind == "open") {
      event.kind = TraceEvent::Kind::open;
      readTime();
      std::string pipe;
      words >> pipe;
      if (pipe != pipeName(PipeEnd::write) && pipe != pipeName(PipeEnd::read)) fail(number, "expected PIPE00 or PIPE01");
      event.end = pipe == pipeName(PipeEnd::write) ? PipeEnd::write : PipeEnd::read;
      readOutcome("ok", "failed");
      std::string rest;
      std::getline(words >> std::ws, rest);
      event.devicePath = fromUtf8(rest);
    } else if (kind == "write") {
      event.kind = TraceEvent::Kind::write;
      readTime();
      readOutcome("ok", "failed");
      readBytes();
      event.requested = event.bytes.size();
    } else if (kind == "read") {
      event.kind = TraceEvent::Kind::read;
      event.end = PipeEnd::read;
      readTime();
      if (!(words >> event.requested >> event.timeoutMs)) fail(number, "missing read size or time-out");
      readOutcome("ok", "timeout");
      readBytes();
      if (event.bytes.size() > event.requested) fail(number, "more bytes read than wanted");
    } else {
      fail(number, "unknown line \"" + kind + "\"");
    }
    file.events.push_back(std::move(event));
  }
  if (!headerSeen) fail(number, "empty trace");
  return file;
}

TraceFile loadTraceFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read trace file " + fileName);
  return parseTraceFile(in);
}

}  // namespace kestrava
