// The information report: model line, then one line per switched-on item, each item
// through its getter, so whatever is already kept costs no exchange.
#include <cstdio>

#include "base/visible_text.h"
#include "info/printer_info.h"

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

// A printer's text stays on its line: a line end inside it is written out, so no answer
// can add a line of its own ("1.2\r\nS/N: FAKE").
void appendTextLine(std::u16string& report, const char16_t* label, bool known, const std::u16string& value) {
  report += u"\r\n";
  report += label;
  report += known ? visibleLineBreaks(value) : kUndefined;
}

// Levels are signed but printed unsigned: a printer that does not know a level answers -1,
// which shows as 4294967295, the text service staff have always seen for "unknown".
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

ResultCode PrinterInfo::composeReport(std::u16string& out) {
  const UsbPrinterLink& link = device_.link();
  if (!link.connected()) return ResultCode::notConnected;

  std::u16string report =
      u"Model: " + identity_.modelName + u" (" + hex8(link.usbId()) + u") (" + identity_.boardDescription + u")";
  if (identity_.stageCode != StageCode::none) report += u" [" + orEmpty(stageTag(identity_.stageCode)) + u"]";
  const ReportSwitches switches = identity_.reportSwitches();

  // The result is that of the last switched-on item; failures before it only show.
  ResultCode result = ResultCode::noError;
  if (switches.serialNumber) {
    std::u16string serial;
    result = getSerialNumber(serial);
    appendTextLine(report, u"S/N: ", !failed(result), serial);
  }
  if (switches.fwVersion) {
    std::u16string version;
    result = getFirmwareVersion(version);
    appendTextLine(report, u"FW version: ", !failed(result), version);
  }
  if (switches.engineFwVersion) {
    std::u16string version;
    result = getEngineFwVersion(version);
    // Printers without an engine controller of its own answer this OID with an empty text:
    // only here an empty answer shows as "undefined". The result stays the getter's.
    appendTextLine(report, u"Engine version: ", !failed(result) && !version.empty(), version);
  }
  if (switches.buildDate) {
    std::u16string date;
    result = getBuildDate(date);
    appendTextLine(report, u"Build: ", !failed(result), date);
  }
  if (switches.ramSize) {
    std::uint32_t megabytes = 0;
    result = getRamSize(megabytes);
    report += u"\r\nRam size: ";
    report += !failed(result) ? decimal(megabytes) + u"Mb" : u"N/A";
  }
  if (switches.consumables) {
    ConsumableList levels;
    result = getConsumableLevels(levels);
    if (!failed(result)) appendLevelLines(report, levels);
  }
  if (switches.drums) {
    ConsumableList levels;
    result = getDrumLevels(levels);
    if (!failed(result)) appendLevelLines(report, levels);
  }
  report += u"\r\n";
  out = std::move(report);
  return result;
}

}  // namespace kestrava
