// PrinterDevice: the attached printer during one acquisition run. It owns the link, the
// answers already read (each with its cache flag), what board identification decided,
// the report switches and the consumable lists. Every operation returns a ResultCode and
// writes its output only on success; none throws for printer or link failures.
//
// The operations are defined by subsystem: device/ (exchange, OID query, file read),
// info/ (getters, sets, levels, report) and boards/ (identification and board rules).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "device/acl_command_block.h"
#include "device/consumable_entry.h"
#include "device/result_code.h"
#include "usb/usb_printer_link.h"

namespace kestrava {

class PrinterDevice {
 public:
  // PJL language switch into ACL; its first 9 bytes are the Universal Exit Language.
  static constexpr std::uint8_t kPjlPrefix[34] = {
      0x1B, '%', '-', '1', '2', '3', '4', '5', 'X', '@', 'P', 'J', 'L', ' ', 'E', 'N', 'T',
      'E',  'R', ' ', 'L', 'A', 'N', 'G', 'U', 'A', 'G', 'E', '=', 'A', 'C', 'L', '\r', '\n'};
  static constexpr std::uint32_t kUelLength = 9;
  static constexpr std::uint32_t kReadTimeoutMs = 5000;
  static constexpr std::size_t kOidBufferSize = 4096;
  static constexpr std::size_t kFilePieceSize = 5120;

  using BuildDateHandler = ResultCode (PrinterDevice::*)(std::u16string& out);
  using BoardRule = ResultCode (PrinterDevice::*)(const std::u16string& modelName);

  explicit PrinterDevice(UsbBackend& backend);
  PrinterDevice(const PrinterDevice&) = delete;
  PrinterDevice& operator=(const PrinterDevice&) = delete;

  // --- command protocol (device/) ---
  ResultCode exchange(AclCommandBlock& block, const std::uint8_t* data, std::uint16_t length);
  ResultCode queryOid(const char* oidName, std::uint32_t oidIndex, std::u16string& out);
  ResultCode readFile(const char* path, std::uint8_t* buffer, std::uint32_t bufferSize,
                      std::uint32_t& fileSize);

  // --- identity getters (info/) ---
  ResultCode getFirmwareVersion(std::u16string& out);
  ResultCode getBuildDate(std::u16string& out);
  ResultCode queryBuildDate(std::u16string& out);
  ResultCode buildDateFromVersionFile(std::u16string& out);
  ResultCode readBuildInfo(std::u16string& out);
  ResultCode getSerialNumber(std::u16string& out);
  ResultCode readSerialNumber(std::u16string& out);
  ResultCode getEngineFwVersion(std::u16string& out);

  // --- consumable sets and report switches (info/) ---
  void resetReportSwitches();
  void selectMonoDrumSet();
  void selectMonoSet();
  void selectColorSet();

  // --- memory and levels (info/) ---
  ResultCode getRamSize(std::uint32_t& megabytes);
  ResultCode readRamSize(std::uint32_t& megabytes);
  ResultCode getConsumableLevels(ConsumableList& out);
  ResultCode getDrumLevels(ConsumableList& out);

  // --- report (info/) ---
  ResultCode composeReport(std::u16string& out);

  // --- board identification (boards/) ---
  ResultCode identifyBoard();
  ResultCode checkGeneration(bool& newGeneration);
  ResultCode probeBusyboxMachine(bool& isMachine27);
  void useVersionFileBuildDate();

  ResultCode ruleP2500Ram(const std::u16string& modelName);
  ResultCode ruleP2500Gen(const std::u16string& modelName);
  ResultCode ruleP2210Ram(const std::u16string& modelName);
  ResultCode ruleP3010Dw(const std::u16string& modelName);
  ResultCode ruleP3010D(const std::u16string& modelName);
  ResultCode ruleP3020D(const std::u16string& modelName);
  ResultCode ruleP3020Dws(const std::u16string& modelName);
  ResultCode ruleP4100(const std::u16string& modelName);
  ResultCode ruleBp1800(const std::u16string& modelName);
  ResultCode ruleBp1800W(const std::u16string& modelName);
  ResultCode ruleBp2300(const std::u16string& modelName);
  ResultCode ruleBp2300W(const std::u16string& modelName);
  ResultCode ruleBp5100(const std::u16string& modelName);
  ResultCode ruleBp5200(const std::u16string& modelName);
  ResultCode ruleCp1100(const std::u16string& modelName);
  ResultCode ruleM6500(const std::u16string& modelName);
  ResultCode ruleM6500Gen(const std::u16string& modelName);
  ResultCode ruleM6600(const std::u16string& modelName);
  ResultCode ruleM6700(const std::u16string& modelName);
  ResultCode ruleM6800(const std::u16string& modelName);
  ResultCode ruleM7300(const std::u16string& modelName);
  ResultCode ruleM7310(const std::u16string& modelName);
  ResultCode ruleBm1800(const std::u16string& modelName);
  ResultCode ruleBm1800W(const std::u16string& modelName);
  ResultCode ruleBm2300(const std::u16string& modelName);
  ResultCode ruleBm2300W(const std::u16string& modelName);
  ResultCode ruleBm5100Adn(const std::u16string& modelName);
  ResultCode ruleBm5100Fdn(const std::u16string& modelName);
  ResultCode ruleBm5110(const std::u16string& modelName);
  ResultCode ruleM4100(const std::u16string& modelName);
  ResultCode ruleM2022(const std::u16string& modelName);
  ResultCode ruleAd220(const std::u16string& modelName);
  ResultCode ruleCm1100Dn(const std::u16string& modelName);
  ResultCode ruleCm1100Adn(const std::u16string& modelName);
  void ruleM6700Gorilla(const std::u16string& version);
  void ruleM6700Bear(const std::u16string& version);

  // --- tables ---
  const char16_t* resultTextOf(ResultCode code) const { return resultText(code); }
  const char16_t* stageTagOf(StageCode code) const { return stageTag(code); }

  // --- state (declaration order of the printer's record) ---
  const std::uint8_t* pjlPrefix = kPjlPrefix;
  UsbPrinterLink link;
  std::uint32_t readTimeoutMs = kReadTimeoutMs;
  std::uint32_t ramSizeMb = 0;
  StageCode stageCode = stage::none;
  std::u16string modelName;
  std::u16string boardDescription;
  std::u16string fwVersion;
  std::u16string engineFwVersion;
  std::u16string buildDate;
  std::u16string serialNumber;
  ConsumableList consumables;
  ConsumableList drums;
  bool fwVersionCached = false;
  bool engineFwVersionCached = false;
  bool buildDateCached = false;
  bool serialNumberCached = false;
  bool ramSizeCached = false;
  bool consumablesCached = false;
  bool drumsCached = false;
  bool showRamSize = true;
  bool showFwVersion = true;
  bool showSerialNumber = true;
  bool showBuildDate = true;
  bool showConsumables = true;
  bool showDrums = true;
  bool showEngineFwVersion = true;
  BuildDateHandler buildDateHandler = nullptr;
  const char* buildDateMarker = nullptr;
};

// The reply check every caller applies after a successful exchange: echo of 00 AC and the
// command (else 7), then status 1 (success), 0 (8) or anything else (9).
ResultCode checkReply(const AclCommandBlock& reply, std::uint16_t command);

// A bare command block without data: exchange, then the reply check. On 0 `block` holds
// the reply.
ResultCode sendCommand(PrinterDevice& device, std::uint16_t command, AclCommandBlock& block);

// Reads the data phase of `length` bytes that a reply announced, with one read of the
// link: fewer bytes, a failure or a time-out give 6. The bytes land in `text`.
ResultCode readDataPhase(PrinterDevice& device, std::uint32_t length, std::string& text);

}  // namespace kestrava
