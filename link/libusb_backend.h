// The link's back end on Linux (and other systems without SetupAPI): the printer-class
// interfaces of every USB device, reached through libusb-1.0.
//
// A device path reads "vid_232b&pid_0ef5#1-2.3:1.0": the ids in the form the link filters
// and parses, then the interface's name in /sys/bus/usb/devices (bus 1, ports 2.3,
// configuration 1, interface 0), so two identical printers get different paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/usb_backend.h"

// libusb's own, from <libusb.h>; only its implementation and the tests see the header.
struct libusb_interface;

namespace kestrava {

// One printer-class interface found while enumerating.
struct PrinterInterface {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint8_t bus = 0;
  std::vector<std::uint8_t> ports;  // from the root hub down to the device
  std::uint8_t configuration = 0;   // bConfigurationValue
  std::uint8_t interfaceNumber = 0;

  std::u16string devicePath() const;
};

// Sorts by bus, port chain and interface number, so that the order does not depend on
// the order in which the kernel happened to list the devices.
void sortByPosition(std::vector<PrinterInterface>& interfaces);

// The alternate setting of a printer interface that the link uses: one with a bulk OUT
// ("\PIPE00") and a bulk IN ("\PIPE01") endpoint, the bidirectional protocol (2) preferred.
struct PrinterEndpoints {
  int altSetting = -1;  // -1: the interface has no setting with both bulk endpoints
  std::uint8_t out = 0;
  std::uint8_t in = 0;
  std::uint16_t inMaxPacketSize = 0;
};
PrinterEndpoints choosePrinterEndpoints(const libusb_interface& interface);

// Bytes of a bulk IN transfer that the caller did not ask for. A transfer is always asked
// for in whole packets, so a printer that sends more than the caller wanted does not make
// the transfer overflow (and lose its data); the rest is handed out by the next reads.
class InTransferRemainder {
 public:
  // The size to ask the bus for when `wanted` bytes are wanted.
  static std::size_t transferSize(std::size_t wanted, std::uint16_t maxPacketSize);

  bool empty() const { return next_ == bytes_.size(); }
  // Copies up to `wanted` bytes out; returns how many.
  std::size_t take(std::uint8_t* buffer, std::size_t wanted);
  // Keeps `count` bytes for later reads.
  void keep(const std::uint8_t* data, std::size_t count);

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t next_ = 0;
};

// What to tell a user who may not open the printer's device node. Without the udev rule,
// to install it; with it, that the rule gives access to the user at the machine's seat
// only (a desktop session there), not to one logged in over ssh or in a container.
std::string noPermissionHint(bool udevRuleInstalled);

// Whether the udev rule is in one of the folders udev reads (link/udev_rule.h).
bool udevRuleInstalled();

class LibusbBackend : public UsbBackend {
 public:
  // A write that the printer does not take within this time fails instead of holding the
  // run for ever.
  static constexpr unsigned int writeTimeoutMs = 5000;

  LibusbBackend();
  ~LibusbBackend() override;
  LibusbBackend(const LibusbBackend&) = delete;
  LibusbBackend& operator=(const LibusbBackend&) = delete;

  std::vector<std::u16string> interfacePaths() override;
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;
  std::string openFailureHint() const override;
  std::string notFoundHint() const override;
  // Cancels the bulk transfer in flight (libusb_cancel_transfer): the write or read
  // returns at once as failed, as does every later open, write and read.
  void cancelTransfer() override;

  struct Context;
  struct Session;
  struct Cancel;

 private:
  std::shared_ptr<Session> openSession(const std::u16string& devicePath);

  std::shared_ptr<Cancel> cancel_;
  // The two pipes of one printer share its claimed interface.
  std::weak_ptr<Session> session_;
  std::u16string sessionPath_;
  int lastOpenError_ = 0;  // LIBUSB_SUCCESS
};

}  // namespace kestrava
