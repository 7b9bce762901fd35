// PrinterDevice: the attached printer during one acquisition run. It owns the link, speaks
// the command protocol through it (exchange, OID query, file read), keeps the answers
// already read (each with its cache flag), what board identification decided, the report
// switches and the consumable lists. Every operation returns a ResultCode and writes its
// output only on success; none throws for printer or link failures.
//
// The protocol and the state are this folder's. The cached getters, the levels and the
// report are the information layer's (info/), which builds on the protocol; nothing here
// calls them.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "device/acl_command_block.h"
#include "device/consumable_entry.h"
#include "device/result_code.h"
#include "link/usb_printer_link.h"

namespace kestrava {

// Where getBuildDate reads the build date from.
enum class BuildDateSource {
  none,         // no source: getBuildDate fails with 13
  printer,      // queryBuildDate: command 0x0008, then the OID
  versionFile,  // buildDateFromVersionFile: after the marker in /etc/version
};

// The three consumable sets a board can carry.
enum class ConsumableSet {
  monoDrum,  // black toner and a separate drum
  mono,      // black toner alone
  color,     // black, cyan, magenta and yellow toner
};

// Which optional lines the report prints.
struct ReportSwitches {
  bool serialNumber = true;
  bool fwVersion = true;
  bool engineFwVersion = true;
  bool buildDate = true;
  bool ramSize = true;
  bool consumables = false;
  bool drums = false;
  bool operator==(const ReportSwitches&) const = default;
};

// An answer the device keeps once the printer gave it.
template <typename Value>
struct KeptAnswer {
  Value value{};
  bool kept = false;  // set in the same step that stores a successful answer
};

// The answers a device keeps once read.
enum class CachedItem { fwVersion, engineFwVersion, buildDate, serialNumber, ramSize, consumables, drums };

class PrinterDevice {
 public:
  // PJL language switch into ACL; its first 9 bytes are the Universal Exit Language.
  static constexpr std::uint8_t kPjlPrefix[34] = {0x1B, '%', '-', '1', '2', '3', '4', '5', 'X',  '@', 'P', 'J',
                                                  'L',  ' ', 'E', 'N', 'T', 'E', 'R', ' ', 'L',  'A', 'N', 'G',
                                                  'U',  'A', 'G', 'E', '=', 'A', 'C', 'L', '\r', '\n'};
  static constexpr std::uint32_t kUelLength = 9;
  static constexpr std::uint32_t kReadTimeoutMs = 5000;
  static constexpr std::size_t kOidBufferSize = 4096;
  static constexpr std::size_t kFilePieceSize = 5120;
  // The printer decides how long a data phase lasts (a trickle of bytes never times a read
  // out): all data phases of a run together wait at most this long, and a file read takes
  // no announced size above kMaxFileSize (the files a run reads are a few KiB to a few
  // MiB). Past either the item fails as on a time-out.
  static constexpr std::chrono::milliseconds kDataPhaseBudget{60000};
  static constexpr std::uint32_t kMaxFileSize = 64u << 20;

  explicit PrinterDevice(UsbBackend& backend);
  PrinterDevice(const PrinterDevice&) = delete;
  PrinterDevice& operator=(const PrinterDevice&) = delete;

  // --- the link and the command protocol (device/) ---
  UsbPrinterLink& link() { return link_; }
  const UsbPrinterLink& link() const { return link_; }
  std::uint32_t readTimeoutMs() const { return readTimeoutMs_; }
  ResultCode exchange(AclCommandBlock& block, const std::uint8_t* data, std::uint16_t length);
  // One read of a data phase, within what is left of the run's data-phase time.
  LinkStatus readDataPiece(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& transferred);
  std::chrono::milliseconds dataPhaseTimeSpent() const { return dataPhaseSpent_; }
  // How many replies began with 00 AC and the command of their request: bytes that never
  // formed such a reply (an echo of the request, a web server's page, noise) are no answer.
  std::uint32_t repliesEchoed() const { return repliesEchoed_; }
  ResultCode queryOid(const char* oidName, std::uint32_t oidIndex, std::u16string& out);
  ResultCode readFile(const char* path, std::uint8_t* buffer, std::uint32_t bufferSize, std::uint32_t& fileSize);

  // --- identity getters (info/) ---
  ResultCode getFirmwareVersion(std::u16string& out);
  ResultCode getBuildDate(std::u16string& out);
  ResultCode queryBuildDate(std::u16string& out);
  ResultCode buildDateFromVersionFile(std::u16string& out);
  ResultCode readBuildInfo(std::u16string& out);
  ResultCode getSerialNumber(std::u16string& out);
  ResultCode readSerialNumber(std::u16string& out);
  ResultCode getEngineFwVersion(std::u16string& out);

  // --- memory and levels (info/) ---
  ResultCode getRamSize(std::uint32_t& megabytes);
  ResultCode readRamSize(std::uint32_t& megabytes);
  ResultCode getConsumableLevels(ConsumableList& out);
  ResultCode getDrumLevels(ConsumableList& out);

  // --- report (info/) ---
  ResultCode composeReport(std::u16string& out);

  // --- consumable sets and report switches ---
  // Every caller resets the switches right before it chooses a set: a set only turns on
  // the lines of its consumables.
  void resetReportSwitches();
  void selectMonoDrumSet();
  void selectMonoSet();
  void selectColorSet();
  void selectConsumableSet(ConsumableSet set);
  const ReportSwitches& reportSwitches() const { return switches_; }
  void setReportSwitches(const ReportSwitches& switches) { switches_ = switches; }
  const ConsumableList& consumables() const { return consumables_; }
  const ConsumableList& drums() const { return drums_; }
  // Lists of the caller's own, in place of a set (the levels of the new entries are not
  // known yet).
  void setConsumableLists(ConsumableList toners, ConsumableList drums);

  // --- what board identification decided ---
  const std::u16string& modelName() const { return modelName_; }
  void setModelName(std::u16string name) { modelName_ = std::move(name); }
  const std::u16string& boardDescription() const { return boardDescription_; }
  void setBoardDescription(std::u16string description) { boardDescription_ = std::move(description); }
  StageCode stageCode() const { return stageCode_; }
  void setStageCode(StageCode code) { stageCode_ = code; }
  BuildDateSource buildDateSource() const { return buildDateSource_; }
  void setBuildDateSource(BuildDateSource source) { buildDateSource_ = source; }
  // The text after which /etc/version holds the build date (a constant of the program).
  const char* buildDateMarker() const { return buildDateMarker_; }
  void setBuildDateMarker(const char* marker) { buildDateMarker_ = marker; }

  // Whether an answer is kept: a later call answers from it without asking the printer.
  bool isCached(CachedItem item) const;

 private:
  const std::uint8_t* pjlPrefix_ = kPjlPrefix;
  UsbPrinterLink link_;
  std::uint32_t readTimeoutMs_ = kReadTimeoutMs;
  std::chrono::milliseconds dataPhaseSpent_{0};
  std::uint32_t repliesEchoed_ = 0;
  KeptAnswer<std::uint32_t> ramSizeMb_;
  StageCode stageCode_ = StageCode::none;
  std::u16string modelName_;
  std::u16string boardDescription_;
  KeptAnswer<std::u16string> fwVersion_;
  KeptAnswer<std::u16string> engineFwVersion_;
  KeptAnswer<std::u16string> buildDate_;
  KeptAnswer<std::u16string> serialNumber_;
  ConsumableList consumables_;
  ConsumableList drums_;
  // The levels are kept in the lists themselves once a whole pass has read them.
  bool consumablesCached_ = false;
  bool drumsCached_ = false;
  ReportSwitches switches_;
  BuildDateSource buildDateSource_ = BuildDateSource::printer;
  const char* buildDateMarker_ = nullptr;
};

// Whether a reply block starts with 00 AC and repeats the request's command code.
bool echoesCommand(const AclCommandBlock& reply, std::uint16_t command);

// The reply check every caller applies after a successful exchange: echo of 00 AC and the
// command (else 7), then status 1 (success), 0 (8) or anything else (9).
ResultCode checkReply(const AclCommandBlock& reply, std::uint16_t command);

// A bare command block without data: exchange, then the reply check. On 0 `block` holds
// the reply.
ResultCode sendCommand(PrinterDevice& device, std::uint16_t command, AclCommandBlock& block);

// Reads the data phase of `length` bytes that a reply announced, with one read of the
// link: fewer bytes, a failure or a time-out give 6. The bytes land in `text`.
ResultCode readDataPhase(PrinterDevice& device, std::uint32_t length, std::string& text);

// The same for a data phase that is text: the bytes up to the first NUL, widened.
ResultCode readTextPhase(PrinterDevice& device, std::uint32_t length, std::u16string& text);

}  // namespace kestrava
