// What a board rule may see of the printer and decide about it: the answers it reads
// (through PrinterInfo, so they are kept for the fields and the report) and the few
// decisions it writes into the identity being built. Each input records its stage code
// there when it fails and hands back that step's result, so a rule gives up with
//   if (ResultCode r = board.firmwareVersion(version); failed(r)) return r;
// and leaves the description and the consumable set as they were.
#pragma once

#include <cstdint>
#include <string>

#include "info/board_identity.h"
#include "info/printer_info.h"

namespace kestrava {

class BoardContext {
 public:
  // `decided` receives the rule's decisions; the build year is read through its build-date
  // source and marker as they stand at that moment.
  BoardContext(PrinterInfo& info, BoardIdentity& decided) : info_(info), decided_(decided) {}

  // --- inputs ---
  ResultCode firmwareVersion(std::u16string& version);  // "EVER"
  ResultCode ramSize(std::uint32_t& megabytes);         // "ERAM"
  ResultCode generation(bool& newGeneration);           // "EGEN"
  ResultCode busyboxMachine(bool& isMachine27);         // "EPLT"
  // The year of the build date, read through whichever build-date source is in force: the
  // first run of exactly four digits, 0 when there is none ("EBLD").
  ResultCode buildYear(std::uint32_t& year);
  // The first boards do not know the memory-size command: whether it fails tells rev1 from
  // rev2. Its answer is not used and its failure fails nothing.
  bool memoryCommandFails();
  std::uint32_t usbId() const { return info_.device().link().usbId(); }

  // --- decisions ---
  // nullptr leaves the description as it is.
  void describe(const char16_t* description);
  // The board keeps its build date in /etc/version rather than answering for it.
  void useVersionFileBuildDate() { decided_.buildDateSource = BuildDateSource::versionFile; }
  void useBuildDateMarker(const char* marker) { decided_.buildDateMarker = marker; }

 private:
  ResultCode record(ResultCode result, StageCode failedStep);

  PrinterInfo& info_;
  BoardIdentity& decided_;
};

// The firmware generation: the old line is the "H" firmware and the four A releases
// 4.A.0.2 to 4.A.0.5; everything else is new.
ResultCode checkGeneration(PrinterInfo& info, bool& newGeneration);

// Whether the printer's own programs are built for machine 0x27 (byte 18 of the ELF head
// of /bin/busybox): the Bear boards' programs are, the Gorilla boards' are not.
ResultCode probeBusyboxMachine(PrinterDevice& device, bool& isMachine27);

}  // namespace kestrava
