// The information report: model line, then one line per switched-on item, each item
// through its getter, so whatever is already kept costs no exchange.
#include <cstdio>

#include "device/printer_device.h"

namespace kestrava {

namespace {

constexpr const char16_t* kUndefined = u"undefined";

// Only the numbers go through a fixed buffer (at most 10 digits); the texts around them
// are appended whole, so nothing is cut whatever their length.
std::u16string formatNumber(const char* format, std::uint32_t value) {
  char digits[16];
  int length = std::snprintf(digits, sizeof digits, format, static_cast<unsigned>(value));
  return std::u16string(digits, digits + (length > 0 ? length : 0));
}

std::u16string hex8(std::uint32_t value) { return formatNumber("%08X", value); }
std::u16string decimal(std::uint32_t value) { return formatNumber("%u", value); }

std::u16string orEmpty(const char16_t* text) { return text != nullptr ? text : u""; }

void appendTextLine(std::u16string& report, const char16_t* label, bool known,
                    const std::u16string& value) {
  report += u"\r\n";
  report += label;
  report += known ? value : kUndefined;
}

// Levels are signed but printed unsigned: a stored -1 shows as 4294967295.
void appendLevelLines(std::u16string& report, const ConsumableList& levels) {
  for (const ConsumableEntry& entry : levels) {
    report += u"\r\n";
    report += orEmpty(entry.name);
    report += u" remain: ";
    report += decimal(static_cast<std::uint32_t>(entry.percentRemaining));
    report += u"%";
  }
}

}  // namespace

ResultCode PrinterDevice::composeReport(std::u16string& out) {
  if (!link.connected()) return rc::notConnected;

  std::u16string report =
      u"Model: " + modelName + u" (" + hex8(link.usbId()) + u") (" + boardDescription + u")";
  if (stageCode != stage::none) report += u" [" + orEmpty(stageTag(stageCode)) + u"]";

  // The result is that of the last switched-on item; failures before it only show.
  ResultCode result = rc::noError;
  if (showSerialNumber) {
    std::u16string serial;
    result = getSerialNumber(serial);
    appendTextLine(report, u"S/N: ", result == rc::noError, serial);
  }
  if (showFwVersion) {
    std::u16string version;
    result = getFirmwareVersion(version);
    appendTextLine(report, u"FW version: ", result == rc::noError, version);
  }
  if (showEngineFwVersion) {
    std::u16string version;
    result = getEngineFwVersion(version);
    // Only here an empty answer shows as "undefined"; the result stays the getter's.
    appendTextLine(report, u"Engine version: ", result == rc::noError && !version.empty(), version);
  }
  if (showBuildDate) {
    std::u16string date;
    result = getBuildDate(date);
    appendTextLine(report, u"Build: ", result == rc::noError, date);
  }
  if (showRamSize) {
    std::uint32_t megabytes = 0;
    result = getRamSize(megabytes);
    report += u"\r\nRam size: ";
    report += result == rc::noError ? decimal(megabytes) + u"Mb" : u"N/A";
  }
  if (showConsumables) {
    ConsumableList levels;
    result = getConsumableLevels(levels);
    if (result == rc::noError) appendLevelLines(report, levels);
  }
  if (showDrums) {
    ConsumableList levels;
    result = getDrumLevels(levels);
    if (result == rc::noError) appendLevelLines(report, levels);
  }
  report += u"\r\n";
  out = std::move(report);
  return result;
}

}  // namespace kestrava
