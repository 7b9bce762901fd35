// PrinterInfo: what the printer knows, asked through a PrinterDevice and kept once read.
// Every getter asks the printer only until it has answered once; afterwards it hands out
// the kept answer without I/O (also after the link was closed), so the board rule, the
// fields and the report see one text. What board identification decided comes in as one
// value (apply) and decides where the build date is read and which levels there are.
// Every operation returns a ResultCode and writes its output only on success.
#pragma once

#include <cstdint>
#include <string>

#include "device/printer_device.h"
#include "info/board_identity.h"
#include "info/consumable_sets.h"

namespace kestrava {

// An answer kept once the printer gave it.
template <typename Value>
struct KeptAnswer {
  Value value{};
  bool kept = false;  // set in the same step that stores a successful answer
};

// The answers PrinterInfo keeps once read.
enum class CachedItem { fwVersion, engineFwVersion, buildDate, serialNumber, ramSize, consumables, drums };

class PrinterInfo {
 public:
  explicit PrinterInfo(PrinterDevice& device);
  PrinterInfo(const PrinterInfo&) = delete;
  PrinterInfo& operator=(const PrinterInfo&) = delete;

  PrinterDevice& device() { return device_; }
  const PrinterDevice& device() const { return device_; }

  // What identification decided. Applying it sets the consumable lists of its set afresh,
  // levels unknown and not kept; the kept texts and the memory size stay.
  void apply(const BoardIdentity& identity);
  const BoardIdentity& identity() const { return identity_; }
  ReportSwitches reportSwitches() const { return identity_.reportSwitches(); }

  // --- identity getters ---
  ResultCode getFirmwareVersion(std::u16string& out);
  // Through the build-date source and marker of the applied identity.
  ResultCode getBuildDate(std::u16string& out);
  // Through those of `reading` instead (identification, before it is applied); the
  // answer is kept all the same.
  ResultCode getBuildDate(const BoardIdentity& reading, std::u16string& out);
  ResultCode getSerialNumber(std::u16string& out);
  ResultCode getEngineFwVersion(std::u16string& out);

  // --- memory and levels ---
  ResultCode getRamSize(std::uint32_t& megabytes);
  ResultCode getConsumableLevels(ConsumableList& out);
  ResultCode getDrumLevels(ConsumableList& out);
  // The consumables of the applied set, with the levels of the last whole pass.
  const ConsumableList& consumables() const { return consumables_; }
  const ConsumableList& drums() const { return drums_; }

  // --- report ---
  ResultCode composeReport(std::u16string& out);

  // Whether an answer is kept: a later call answers from it without asking the printer.
  bool isCached(CachedItem item) const;

 private:
  PrinterDevice& device_;
  BoardIdentity identity_;
  KeptAnswer<std::u16string> fwVersion_;
  KeptAnswer<std::u16string> engineFwVersion_;
  KeptAnswer<std::u16string> buildDate_;
  KeptAnswer<std::u16string> serialNumber_;
  KeptAnswer<std::uint32_t> ramSizeMb_;
  ConsumableList consumables_;
  ConsumableList drums_;
  // The levels are kept in the lists themselves once a whole pass has read them.
  bool consumablesCached_ = false;
  bool drumsCached_ = false;
};

// The readers behind the getters: each asks the printer every time and keeps nothing.
// Build date by command 0x0008, then by its OID.
ResultCode queryBuildDate(PrinterDevice& device, std::u16string& out);
// Command 0x0008 alone.
ResultCode readBuildInfo(PrinterDevice& device, std::u16string& out);
// The build date after `marker` in the printer's /etc/version (nullptr: 14).
ResultCode buildDateFromVersionFile(PrinterDevice& device, const char* marker, std::u16string& out);
// Command 0xFF05 alone.
ResultCode readSerialNumber(PrinterDevice& device, std::u16string& out);
// Command 0xFF85 alone.
ResultCode readRamSize(PrinterDevice& device, std::uint32_t& megabytes);

}  // namespace kestrava
