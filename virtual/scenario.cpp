#include "virtual/scenario.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "base/hex_text.h"

namespace kestrava::virtualprinter {

using nlohmann::json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw std::runtime_error("scenario: " + where + ": " + what);
}

std::uint32_t number(const json& value, const std::string& where, std::uint64_t max) {
  std::uint64_t result = 0;
  if (value.is_number_unsigned()) {
    result = value.get<std::uint64_t>();
  } else if (value.is_string()) {
    const std::string text = value.get<std::string>();
    std::size_t used = 0;
    try {
      result = std::stoull(text, &used, 0);
    } catch (const std::exception&) {
      fail(where, "not a number: " + text);
    }
    if (used != text.size()) fail(where, "not a number: " + text);
  } else {
    fail(where, "expected a number");
  }
  if (result > max) fail(where, "number out of range");
  return static_cast<std::uint32_t>(result);
}

// Printer bytes: a string (each character up to U+00FF is one byte), or an object with
// "hex", or with "text", "size", "fill" and "set" (offset -> byte) for binary files.
std::string bytes(const json& value, const std::string& where) {
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
    return out;
  }
  if (!value.is_object()) fail(where, "expected a string or an object");
  std::string out;
  if (value.contains("hex")) {
    std::string hex;
    for (char c : value.at("hex").get<std::string>()) {
      if (c != ' ') hex.push_back(c);
    }
    if (hex.size() % 2 != 0) fail(where, "odd number of hex digits");
    if (!bytesFromHex(hex, out)) fail(where, "not a hex digit in " + hex);
  }
  if (value.contains("text")) out += bytes(value.at("text"), where + ".text");
  if (value.contains("size")) {
    std::uint32_t size = number(value.at("size"), where + ".size", 0x7FFFFFFF);
    char fill = static_cast<char>(value.contains("fill") ? number(value.at("fill"), where + ".fill", 0xFF) : 0);
    out.resize(size, fill);
  }
  if (value.contains("set")) {
    for (const auto& [offset, byte] : value.at("set").items()) {
      std::uint32_t at = number(json(offset), where + ".set", 0x7FFFFFFF);
      if (at >= out.size()) fail(where, "set offset past the end: " + offset);
      out[at] = static_cast<char>(number(byte, where + ".set." + offset, 0xFF));
    }
  }
  return out;
}

FaultKind faultKind(const std::string& name, const std::string& where) {
  static const std::map<std::string, FaultKind> kinds = {
      {"status0", FaultKind::status0},       {"status", FaultKind::badStatus},
      {"wrongEcho", FaultKind::wrongEcho},   {"shortReply", FaultKind::shortReply},
      {"noReply", FaultKind::noReply},       {"shortData", FaultKind::shortData},
      {"hugeLength", FaultKind::hugeLength}, {"hugeFileSize", FaultKind::hugeFileSize},
      {"disconnect", FaultKind::disconnect},
  };
  auto found = kinds.find(name);
  if (found == kinds.end()) fail(where, "unknown fault kind " + name);
  return found->second;
}

void checkKeys(const json& object, std::initializer_list<const char*> known, const std::string& where) {
  for (const auto& item : object.items()) {
    bool ok = false;
    for (const char* key : known) ok = ok || item.key() == key;
    if (!ok) fail(where, "unknown member \"" + item.key() + "\"");
  }
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
  const char elf[] = "\x7f" "ELF\x01\x01\x01";
  busybox.replace(0, sizeof elf - 1, elf, sizeof elf - 1);
  busybox[16] = 0x02;  // executable
  busybox[18] = 0x28;  // ARM
  s.files["/bin/busybox"] = busybox;
  return s;
}

Scenario parseScenario(const std::string& jsonText) {
  json root;
  try {
    root = json::parse(jsonText);
  } catch (const json::parse_error& error) {
    fail("JSON", error.what());
  }
  if (!root.is_object()) fail("top level", "expected an object");
  checkKeys(root,
            {"description", "vendorId", "productId", "devicePath", "otherInterfaces", "openFails",
             "commands", "oids", "files", "staleBytes", "disconnectAfter", "replyDelayMs", "faults"},
            "top level");

  Scenario s;
  try {
    if (root.contains("vendorId")) s.vendorId = static_cast<std::uint16_t>(number(root["vendorId"], "vendorId", 0xFFFF));
    if (root.contains("productId")) s.productId = static_cast<std::uint16_t>(number(root["productId"], "productId", 0xFFFF));
    if (root.contains("devicePath")) s.devicePath = root["devicePath"].get<std::string>();
    if (root.contains("otherInterfaces")) s.otherInterfaces = root["otherInterfaces"].get<std::vector<std::string>>();
    if (root.contains("openFails")) {
      s.openFails = root["openFails"].get<std::string>();
      if (s.openFails != "write" && s.openFails != "read" && !s.openFails.empty()) fail("openFails", "expected \"write\" or \"read\"");
    }
    if (root.contains("commands")) {
      const json& commands = root["commands"];
      checkKeys(commands, {"firmwareVersion", "buildInfo", "serialNumber", "serialLengthSwapped", "ramSizeMb"}, "commands");
      if (commands.contains("firmwareVersion") && !commands["firmwareVersion"].is_null()) s.firmwareVersion = bytes(commands["firmwareVersion"], "commands.firmwareVersion");
      if (commands.contains("buildInfo") && !commands["buildInfo"].is_null()) s.buildInfo = bytes(commands["buildInfo"], "commands.buildInfo");
      if (commands.contains("serialNumber") && !commands["serialNumber"].is_null()) s.serialNumber = bytes(commands["serialNumber"], "commands.serialNumber");
      if (commands.contains("serialLengthSwapped")) s.serialLengthSwapped = commands["serialLengthSwapped"].get<bool>();
      if (commands.contains("ramSizeMb") && !commands["ramSizeMb"].is_null()) s.ramSizeMb = static_cast<std::uint16_t>(number(commands["ramSizeMb"], "commands.ramSizeMb", 0xFFFF));
    }
    if (root.contains("oids")) {
      for (const auto& [key, value] : root["oids"].items()) s.oids[key] = bytes(value, "oids." + key);
    }
    if (root.contains("files")) {
      for (const auto& [key, value] : root["files"].items()) s.files[key] = bytes(value, "files." + key);
    }
    if (root.contains("staleBytes")) s.staleBytes = bytes(root["staleBytes"], "staleBytes");
    if (root.contains("disconnectAfter")) s.disconnectAfter = number(root["disconnectAfter"], "disconnectAfter", 0xFFFFFFFF);
    if (root.contains("replyDelayMs")) s.replyDelayMs = number(root["replyDelayMs"], "replyDelayMs", 600000);
    if (root.contains("faults")) {
      std::size_t index = 0;
      for (const json& item : root["faults"]) {
        std::string where = "faults[" + std::to_string(index++) + "]";
        checkKeys(item, {"kind", "request", "command", "target", "status", "times"}, where);
        Fault fault;
        if (!item.contains("kind")) fail(where, "missing \"kind\"");
        fault.kind = faultKind(item["kind"].get<std::string>(), where);
        if (item.contains("request")) fault.request = number(item["request"], where + ".request", 0xFFFFFFFF);
        if (item.contains("command")) fault.command = static_cast<std::uint16_t>(number(item["command"], where + ".command", 0xFFFF));
        if (item.contains("target")) fault.target = item["target"].get<std::string>();
        if (item.contains("status")) fault.status = static_cast<std::uint16_t>(number(item["status"], where + ".status", 0xFFFF));
        if (item.contains("times")) fault.times = static_cast<int>(number(item["times"], where + ".times", 0x7FFFFFFF));
        s.faults.push_back(fault);
      }
    }
  } catch (const json::exception& error) {
    fail("value", error.what());
  }
  return s;
}

Scenario loadScenario(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read scenario file " + fileName);
  std::ostringstream text;
  text << file.rdbuf();
  return parseScenario(text.str());
}

}  // namespace kestrava::virtualprinter
