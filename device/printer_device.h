// PrinterDevice: the attached printer during one acquisition run. It owns the link and
// speaks the command protocol through it (exchange, OID query, file read); besides the
// link it keeps only what the protocol itself counts (the run's data-phase time, the
// replies that echoed their request). Every operation returns a ResultCode and writes its
// output only on success; none throws for printer or link failures.
//
// What the printer's answers mean, and which of them are kept, is the information layer's
// (info/: PrinterInfo asks through a PrinterDevice); what the board is, the board layer's.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "device/acl_command_block.h"
#include "device/result_code.h"
#include "link/usb_printer_link.h"

namespace kestrava {

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
  // How many replies began with 00 AC and the command of their request: bytes that never
  // formed such a reply (an echo of the request, a web server's page, noise) are no answer.
  std::uint32_t repliesEchoed() const { return repliesEchoed_; }
  ResultCode queryOid(const char* oidName, std::uint32_t oidIndex, std::u16string& out);
  ResultCode readFile(const char* path, std::uint8_t* buffer, std::uint32_t bufferSize, std::uint32_t& fileSize);

 private:
  const std::uint8_t* pjlPrefix_ = kPjlPrefix;
  UsbPrinterLink link_;
  std::uint32_t readTimeoutMs_ = kReadTimeoutMs;
  std::chrono::milliseconds dataPhaseSpent_{0};
  std::uint32_t repliesEchoed_ = 0;
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
