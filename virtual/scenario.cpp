#include "virtual/scenario.h"

#include <set>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/bounded_file.h"
#include "base/hex_text.h"
#include "base/visible_text.h"

namespace kestrava::virtualprinter {

using nlohmann::json;

namespace {

// `where` names members of the file and `what` may quote it: both are outside text.
[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw std::runtime_error("scenario: " + visibleExcerpt(where, 120) + ": " + what);
}

// A number is a JSON number or a text of decimal digits or "0x" and hexadecimal digits;
// nothing else (no sign, no blank, no octal) so a value never means what it does not say.
std::uint32_t number(const json& value, const std::string& where, std::uint64_t max) {
  std::uint64_t result = 0;
  if (value.is_number_unsigned()) {
    result = value.get<std::uint64_t>();
  } else if (value.is_string()) {
    const std::string text = value.get<std::string>();
    std::size_t start = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    unsigned base = start == 2 ? 16 : 10;
    if (text.size() == start) fail(where, "not a number: " + quotedExcerpt(text));
    if (base == 10 && text.size() > 1 && text[0] == '0')
      fail(where, "a decimal number has no leading zero: " + quotedExcerpt(text));
    for (std::size_t i = start; i < text.size(); ++i) {
      int digit = hexDigitValue(static_cast<unsigned char>(text[i]));
      if (digit < 0 || static_cast<unsigned>(digit) >= base) fail(where, "not a number: " + quotedExcerpt(text));
      result = result * base + static_cast<unsigned>(digit);
      if (result > max) fail(where, "number out of range: " + quotedExcerpt(text));
    }
  } else {
    fail(where, "expected a number");
  }
  if (result > max) fail(where, "number out of range");
  return static_cast<std::uint32_t>(result);
}

// These two return the value they are given. Where it is in the file comes as a view, not
// as a reference: a text made for the call (where + ".set") is then no reference argument
// the result could seem to hang on (GCC 14's -Wdangling-reference).
const json& objectMember(const json& value, std::string_view where) {
  if (!value.is_object()) fail(std::string(where), "expected an object");
  return value;
}

const json& arrayMember(const json& value, std::string_view where) {
  if (!value.is_array()) fail(std::string(where), "expected a list");
  return value;
}

void checkKeys(const json& object, std::initializer_list<const char*> known, const std::string& where) {
  for (const auto& item : object.items()) {
    bool ok = false;
    for (const char* key : known) ok = ok || item.key() == key;
    if (!ok) fail(where, "unknown member " + quotedExcerpt(item.key()));
  }
}

// Printer bytes: a string (each character up to U+00FF is one byte), or an object with
// "hex", or with "text", "size", "fill" and "set" (offset -> byte) for binary files.
std::string bytes(const json& value, const std::string& where, std::size_t& budget) {
  if (value.is_string()) {
    std::string out;
    const std::string utf8 = value.get<std::string>();
    for (std::size_t i = 0; i < utf8.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(utf8[i]);
      if (c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
        out.push_back(static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F)));
      } else {
        fail(where, "characters above U+00FF cannot be printer bytes; use {\"hex\": ...}");
      }
    }
    if (out.size() > budget) fail(where, "more bytes than a scenario may hold");
    budget -= out.size();
    return out;
  }
  if (!value.is_object()) fail(where, "expected a string or an object");
  checkKeys(value, {"hex", "text", "size", "fill", "set"}, where);
  std::string out;
  if (value.contains("hex")) {
    std::string hex;
    if (!value.at("hex").is_string()) fail(where + ".hex", "expected a string");
    for (char c : value.at("hex").get<std::string>()) {
      if (c != ' ') hex.push_back(c);
    }
    if (hex.size() % 2 != 0) fail(where, "odd number of hex digits");
    if (!bytesFromHex(hex, out)) fail(where, "not a hex digit in " + quotedExcerpt(hex));
  }
  if (out.size() > budget) fail(where, "more bytes than a scenario may hold");
  budget -= out.size();
  if (value.contains("text")) out += bytes(value.at("text"), where + ".text", budget);
  if (value.contains("size")) {
    std::uint32_t size = number(value.at("size"), where + ".size", kMaxAnswerBytes);
    if (size > out.size()) {
      if (size - out.size() > budget) fail(where, "more bytes than a scenario may hold");
      budget -= size - out.size();
    }
    char fill = static_cast<char>(value.contains("fill") ? number(value.at("fill"), where + ".fill", 0xFF) : 0);
    out.resize(size, fill);
  }
  if (value.contains("set")) {
    for (const auto& [offset, byte] : objectMember(value.at("set"), where + ".set").items()) {
      std::uint32_t at = number(json(offset), where + ".set", kMaxAnswerBytes);
      if (at >= out.size()) fail(where, "set offset past the end: " + quotedExcerpt(offset));
      out[at] = static_cast<char>(number(byte, where + ".set." + offset, 0xFF));
    }
  }
  if (out.size() > kMaxAnswerBytes) fail(where, "answer longer than " + std::to_string(kMaxAnswerBytes) + " bytes");
  return out;
}

FaultKind faultKind(const std::string& name, const std::string& where) {
  static const std::map<std::string, FaultKind> kinds = {
      {"status0", FaultKind::status0},       {"status", FaultKind::badStatus},
      {"wrongEcho", FaultKind::wrongEcho},   {"shortReply", FaultKind::shortReply},
      {"noReply", FaultKind::noReply},       {"shortData", FaultKind::shortData},
      {"hugeLength", FaultKind::hugeLength}, {"hugeFileSize", FaultKind::hugeFileSize},
      {"disconnect", FaultKind::disconnect}, {"lateReply", FaultKind::lateReply},
      {"trickle", FaultKind::trickle},       {"splitReply", FaultKind::splitReply},
      {"splitData", FaultKind::splitData},
  };
  auto found = kinds.find(name);
  if (found == kinds.end()) fail(where, "unknown fault kind " + quotedExcerpt(name));
  return found->second;
}

}  // namespace

std::string Scenario::path() const {
  if (!devicePath.empty()) return devicePath;
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendorId, productId);
  return std::string("\\\\?\\usb#") + ids + "#virtual0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
}

Scenario healthyMonoPrinter() {
  Scenario s;
  s.productId = 0x0EF5;  // P3301DN
  s.firmwareVersion = "3.3.8.1";
  s.buildInfo = "2021-03-16 [r5012] gorilla";
  s.serialNumber = "CN3A012345";
  s.ramSizeMb = 128;
  s.oids = {
      {"OID_PLATFORM_FW_VERSION.0", "3.3.8.1"},
      {"OID_PLATFORM_PRODUCT_DATE.0", "2021-03-16"},
      {"OID_PLATFORM_PRODUCT_SERIAL_NUM.0", "CN3A012345"},
      {"OID_PLATFORM_ENG_FW_VERSION.0", "1.2.15"},
      {"OID_MEMORY_TOTAL_SIZE_IN_MBYTES.0", "128"},
      {"OID_CONSUMABLE_PERCENT_REMAINING.0", "80"},
      {"OID_CONSUMABLE_DRUM_REMAIN.0", "64"},
  };
  s.files["/etc/version"] = "PRODUCT: P3301DN\nDATA: 2021-03-16 14:02\nVERSION: 3.3.8.1\n";
  std::string busybox(4096, '\0');
  const char elf[] =
      "\x7f"
      "ELF\x01\x01\x01";
  busybox.replace(0, sizeof elf - 1, elf, sizeof elf - 1);
  busybox[16] = 0x02;  // executable
  busybox[18] = 0x28;  // ARM
  s.files["/bin/busybox"] = busybox;
  return s;
}

namespace {

// The file as JSON: bounded in size and nesting, no NUL, no key twice in one object.
json parseJson(const std::string& jsonText) {
  if (jsonText.size() > kMaxScenarioFileBytes) {
    fail("file", "longer than " + std::to_string(kMaxScenarioFileBytes) + " bytes");
  }
  // JSON has no raw NUL; the parser would take one for the end of the text and ignore
  // what follows.
  if (std::size_t nul = jsonText.find('\0'); nul != std::string::npos) {
    fail("JSON", "NUL byte at offset " + std::to_string(nul));
  }
  // Nesting is bounded (nothing in a scenario needs more than a few levels) and a key may
  // appear only once in its object: the parser would silently keep the last one.
  std::vector<std::set<std::string>> keysSeen;
  json::parser_callback_t check = [&keysSeen](int depth, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        if (depth >= static_cast<int>(kMaxScenarioDepth)) {
          fail("JSON", "nested deeper than " + std::to_string(kMaxScenarioDepth) + " levels");
        }
        if (event == json::parse_event_t::object_start) keysSeen.emplace_back();
        break;
      case json::parse_event_t::object_end:
        if (!keysSeen.empty()) keysSeen.pop_back();
        break;
      case json::parse_event_t::key:
        if (!keysSeen.empty() && !keysSeen.back().insert(parsed.get<std::string>()).second) {
          fail("JSON", "member " + quotedExcerpt(parsed.get<std::string>()) + " given twice in one object");
        }
        break;
      default: break;
    }
    return true;
  };
  json root;
  try {
    root = json::parse(jsonText, check);
  } catch (const json::exception& error) {
    // Not only syntax: a number too large for any type is an out_of_range error.
    fail("JSON", visibleExcerpt(error.what(), 200));
  }
  return root;
}

// Who the printer is on the bus: its ids, its interface paths, a pipe that will not open.
void readIdentity(const json& root, Scenario& s) {
  if (root.contains("vendorId"))
    s.vendorId = static_cast<std::uint16_t>(number(root.at("vendorId"), "vendorId", 0xFFFF));
  if (root.contains("productId"))
    s.productId = static_cast<std::uint16_t>(number(root.at("productId"), "productId", 0xFFFF));
  if (root.contains("devicePath")) s.devicePath = root.at("devicePath").get<std::string>();
  if (root.contains("otherInterfaces")) arrayMember(root.at("otherInterfaces"), "otherInterfaces");
  if (root.contains("otherInterfaces")) s.otherInterfaces = root.at("otherInterfaces").get<std::vector<std::string>>();
  if (root.contains("openFails")) {
    s.openFails = root.at("openFails").get<std::string>();
    if (s.openFails != "write" && s.openFails != "read" && !s.openFails.empty())
      fail("openFails", "expected \"write\" or \"read\"");
  }
}

// The answers to the printer's own commands ("commands"); null keeps a command unanswered.
void readCommands(const json& value, Scenario& s, std::size_t& budget) {
  const json& commands = objectMember(value, "commands");
  checkKeys(commands, {"firmwareVersion", "buildInfo", "serialNumber", "serialLengthSwapped", "ramSizeMb"}, "commands");
  if (commands.contains("firmwareVersion") && !commands.at("firmwareVersion").is_null())
    s.firmwareVersion = bytes(commands.at("firmwareVersion"), "commands.firmwareVersion", budget);
  if (commands.contains("buildInfo") && !commands.at("buildInfo").is_null())
    s.buildInfo = bytes(commands.at("buildInfo"), "commands.buildInfo", budget);
  if (commands.contains("serialNumber") && !commands.at("serialNumber").is_null())
    s.serialNumber = bytes(commands.at("serialNumber"), "commands.serialNumber", budget);
  if (commands.contains("serialLengthSwapped")) s.serialLengthSwapped = commands.at("serialLengthSwapped").get<bool>();
  if (commands.contains("ramSizeMb") && !commands.at("ramSizeMb").is_null())
    s.ramSizeMb = static_cast<std::uint16_t>(number(commands.at("ramSizeMb"), "commands.ramSizeMb", 0xFFFF));
}

// One entry of "faults", named `where` in messages.
Fault readFault(const json& item, const std::string& where) {
  objectMember(item, where);
  checkKeys(item, {"kind", "request", "command", "target", "status", "times", "delayMs", "pieceBytes"}, where);
  if (!item.contains("kind")) fail(where, "missing \"kind\"");
  Fault fault = makeFault(faultKind(item.at("kind").get<std::string>(), where));
  if (item.contains("request")) fault.request = number(item.at("request"), where + ".request", 0xFFFFFFFF);
  if (item.contains("command"))
    fault.command = static_cast<std::uint16_t>(number(item.at("command"), where + ".command", 0xFFFF));
  if (item.contains("target")) fault.target = item.at("target").get<std::string>();
  if (item.contains("status"))
    fault.status = static_cast<std::uint16_t>(number(item.at("status"), where + ".status", 0xFFFF));
  if (item.contains("times")) fault.times = static_cast<int>(number(item.at("times"), where + ".times", 0x7FFFFFFF));
  if (item.contains("delayMs")) fault.delayMs = number(item.at("delayMs"), where + ".delayMs", 600000);
  if (item.contains("pieceBytes")) fault.pieceBytes = number(item.at("pieceBytes"), where + ".pieceBytes", 1u << 20);
  if (fault.pieceBytes == 0) fail(where + ".pieceBytes", "must be at least 1");
  if (fault.kind == FaultKind::splitReply && fault.pieceBytes > 15)
    fail(where + ".pieceBytes", "a split reply block sends 1 to 15 bytes first");
  return fault;
}

// The members of the top level, in the order a file's first mistake is reported in.
Scenario readScenario(const json& root, std::size_t& budget) {
  Scenario s;
  readIdentity(root, s);
  if (root.contains("commands")) readCommands(root.at("commands"), s, budget);
  if (root.contains("oids")) {
    for (const auto& [key, value] : objectMember(root.at("oids"), "oids").items()) {
      s.oids[key] = bytes(value, "oids." + key, budget);
    }
  }
  if (root.contains("files")) {
    for (const auto& [key, value] : objectMember(root.at("files"), "files").items()) {
      s.files[key] = bytes(value, "files." + key, budget);
    }
  }
  if (root.contains("staleBytes")) s.staleBytes = bytes(root.at("staleBytes"), "staleBytes", budget);
  if (root.contains("disconnectAfter"))
    s.disconnectAfter = number(root.at("disconnectAfter"), "disconnectAfter", 0xFFFFFFFF);
  if (root.contains("replyDelayMs")) s.replyDelayMs = number(root.at("replyDelayMs"), "replyDelayMs", 600000);
  if (root.contains("faults")) {
    std::size_t index = 0;
    for (const json& item : arrayMember(root.at("faults"), "faults")) {
      s.faults.push_back(readFault(item, "faults[" + std::to_string(index++) + "]"));
    }
  }
  return s;
}

}  // namespace

Scenario parseScenario(const std::string& jsonText, std::size_t& budget) {
  json root = parseJson(jsonText);
  if (!root.is_object()) fail("top level", "expected an object");
  checkKeys(root,
            {"description", "vendorId", "productId", "devicePath", "otherInterfaces", "openFails", "commands", "oids",
             "files", "staleBytes", "disconnectAfter", "replyDelayMs", "faults"},
            "top level");
  try {
    return readScenario(root, budget);
  } catch (const json::exception& error) {
    fail("value", visibleExcerpt(error.what(), 200));
  }
}

Scenario parseScenario(const std::string& jsonText) {
  std::size_t budget = kMaxScenarioBytes;
  return parseScenario(jsonText, budget);
}

Scenario loadScenario(const std::string& fileName) { return loadScenarios({fileName}).front(); }

std::vector<Scenario> loadScenarios(const std::vector<std::string>& fileNames) {
  // The bounds hold for the list as a whole: eight names of one file are eight files' worth.
  std::size_t fileBytesLeft = kMaxScenarioFileBytes;
  std::size_t budget = kMaxScenarioBytes;
  std::vector<Scenario> scenarios;
  for (const std::string& fileName : fileNames) {
    std::string text, error;
    if (!readRegularFile(fileName, fileBytesLeft, text, error)) {
      if (fileNames.size() > 1 && error.rfind("larger than", 0) == 0) {
        error = "the scenario files together are " + error;
      }
      throw std::runtime_error("cannot read scenario file " + quotedExcerpt(fileName, 200) + ": " + error);
    }
    fileBytesLeft -= text.size();
    try {
      scenarios.push_back(parseScenario(text, budget));
    } catch (const std::runtime_error& wrong) {
      throw std::runtime_error(std::string(wrong.what()) +
                               (fileNames.size() > 1 ? " (in " + quotedExcerpt(fileName, 200) + ")" : ""));
    }
  }
  return scenarios;
}

}  // namespace kestrava::virtualprinter
