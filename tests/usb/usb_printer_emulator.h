// The device side of a usbredir connection: a printer of ours as qemu's usb-redir device
// sees it. Control requests get the printer's descriptors and its IEEE 1284 device ID;
// bulk OUT bytes go to the virtual printer, and each bulk IN request gets the next queued
// transfer (a reply block or one data phase) or is held, as a real printer NAKs, until
// the printer has something or the host gives up and cancels.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "tests/usb/printer_descriptors.h"
#include "virtual/virtual_printer.h"

struct usbredirparser;
struct usb_redir_control_packet_header;
struct usb_redir_bulk_packet_header;

namespace kestrava::usbtest {

struct EmulatorOptions {
  // A request the virtual printer leaves unanswered halts the bulk IN endpoint instead of
  // keeping the host waiting; the endpoint stays halted until the host clears it.
  bool stallHeldReplies = false;
};

// What happened on the bus, for the test runner to check.
struct EmulatorCounts {
  unsigned deviceIdRequests = 0;
  unsigned stalls = 0;             // bulk IN requests answered with a STALL
  unsigned haltsCleared = 0;       // CLEAR_FEATURE(ENDPOINT_HALT) on the bulk IN endpoint
  unsigned cancelled = 0;          // held bulk IN requests the host cancelled
  unsigned unansweredControl = 0;  // control requests answered with a STALL
  bool unplugged = false;
};

class UsbPrinterEmulator {
 public:
  UsbPrinterEmulator(virtualprinter::Scenario scenario, EmulatorOptions options);
  ~UsbPrinterEmulator();
  UsbPrinterEmulator(const UsbPrinterEmulator&) = delete;
  UsbPrinterEmulator& operator=(const UsbPrinterEmulator&) = delete;

  // Serves one connected usbredir peer on `socket` until it closes the connection.
  void serve(int socket);

  const virtualprinter::VirtualPrinter& printer() const { return printer_; }
  const EmulatorCounts& counts() const { return counts_; }

  // Callbacks of the usbredir parser; public so that its C callbacks can reach them.
  int readSocket(std::uint8_t* data, int count);
  int writeSocket(const std::uint8_t* data, int count);
  void onHello();
  void onSetConfiguration(std::uint64_t id, std::uint8_t configuration);
  void onGetConfiguration(std::uint64_t id);
  void onSetAltSetting(std::uint64_t id, std::uint8_t interface, std::uint8_t alt);
  void onGetAltSetting(std::uint64_t id, std::uint8_t interface);
  void onReset();
  void onCancel(std::uint64_t id);
  void onControl(std::uint64_t id, const usb_redir_control_packet_header& header, const std::uint8_t* data, int length);
  void onBulk(std::uint64_t id, const usb_redir_bulk_packet_header& header, const std::uint8_t* data, int length);

 private:
  struct HeldIn {
    std::uint64_t id;
    std::size_t wanted;
  };

  void announceInterface();
  void answerControl(std::uint64_t id, usb_redir_control_packet_header header, std::uint8_t status,
                     const std::string& data);
  void answerBulk(std::uint64_t id, std::uint8_t endpoint, std::uint8_t status, const std::string& data,
                  std::size_t outCount = 0);
  void bulkOut(std::uint64_t id, const std::uint8_t* data, int length);
  void serveHeldIns();
  void unplug();
  void flush();

  virtualprinter::VirtualPrinter printer_;
  EmulatorOptions options_;
  PrinterIdentity identity_;
  EmulatorCounts counts_;
  usbredirparser* parser_ = nullptr;
  int socket_ = -1;
  bool closed_ = false;
  std::uint8_t configuration_ = 0;
  bool inHalted_ = false;
  std::deque<HeldIn> heldIns_;
};

}  // namespace kestrava::usbtest
