// The parts of the libusb back end that need no USB device: device paths, their order,
// the choice of endpoints and the bytes of a transfer kept for the next read.
#include <vector>

#include <gtest/gtest.h>
#include <libusb.h>

#include "base/text_codec.h"
#include "link/forwarding_backend.h"
#include "link/libusb_backend.h"
#include "link/usb_printer_link.h"

namespace kestrava {
namespace {

PrinterInterface printerAt(std::uint8_t bus, std::vector<std::uint8_t> ports, std::uint8_t interfaceNumber,
                           std::uint16_t productId = 0x0EF5) {
  PrinterInterface found;
  found.vendorId = 0x232B;
  found.productId = productId;
  found.bus = bus;
  found.ports = std::move(ports);
  found.configuration = 1;
  found.interfaceNumber = interfaceNumber;
  return found;
}

TEST(LibusbBackend, DevicePathCarriesTheIdsAndThePlace) {
  struct Case {
    PrinterInterface interface;
    const char* path;
    std::uint32_t usbId;  // as the link reads it; 0 where the filter does not match
  };
  PrinterInterface otherVendor = printerAt(3, {1}, 0, 0x0A1B);
  otherVendor.vendorId = 0x04F9;
  const Case cases[] = {
      {printerAt(1, {2}, 0), "vid_232b&pid_0ef5#1-2:1.0", 0x232B0EF5},
      {printerAt(2, {1, 4, 3}, 1, 0xA0C1), "vid_232b&pid_a0c1#2-1.4.3:1.1", 0x232BA0C1},
      {printerAt(1, {}, 0, 0x0001), "vid_232b&pid_0001#1-0:1.0", 0x232B0001},
      {otherVendor, "vid_04f9&pid_0a1b#3-1:1.0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::u16string path = c.interface.devicePath();
    EXPECT_EQ(toUtf8(path), c.path);
    std::size_t match = path.find(UsbPrinterLink::defaultPathFilter);
    EXPECT_EQ(match == std::u16string::npos ? 0 : parseUsbId(path, match), c.usbId);
  }
  // Two identical printers on different ports get different paths.
  EXPECT_NE(printerAt(1, {2}, 0).devicePath(), printerAt(1, {3}, 0).devicePath());
}

TEST(LibusbBackend, InterfacesAreOrderedByBusPortsAndInterface) {
  std::vector<PrinterInterface> found = {
      printerAt(2, {1}, 0),    printerAt(1, {3}, 0), printerAt(1, {2, 1}, 1),
      printerAt(1, {2, 1}, 0), printerAt(1, {2}, 0), printerAt(1, {10}, 0),
  };
  sortByPosition(found);
  std::vector<std::string> paths;
  for (const PrinterInterface& interface : found) paths.push_back(toUtf8(interface.devicePath()).substr(18));
  EXPECT_EQ(paths, (std::vector<std::string>{"1-2:1.0", "1-2.1:1.0", "1-2.1:1.1", "1-3:1.0", "1-10:1.0", "2-1:1.0"}));
}

// Descriptors as libusb hands them out, built from a compact description.
struct Setting {
  std::uint8_t interfaceClass;
  std::uint8_t protocol;
  std::vector<libusb_endpoint_descriptor> endpoints;
};

libusb_endpoint_descriptor endpoint(std::uint8_t address, std::uint8_t type, std::uint16_t maxPacket = 512) {
  libusb_endpoint_descriptor descriptor{};
  descriptor.bEndpointAddress = address;
  descriptor.bmAttributes = type;
  descriptor.wMaxPacketSize = maxPacket;
  return descriptor;
}

PrinterEndpoints choose(std::vector<Setting> settings) {
  std::vector<libusb_interface_descriptor> descriptors;
  for (Setting& setting : settings) {
    libusb_interface_descriptor descriptor{};
    descriptor.bInterfaceClass = setting.interfaceClass;
    descriptor.bInterfaceProtocol = setting.protocol;
    descriptor.bNumEndpoints = static_cast<std::uint8_t>(setting.endpoints.size());
    descriptor.endpoint = setting.endpoints.data();
    descriptors.push_back(descriptor);
  }
  libusb_interface interface {};
  interface.altsetting = descriptors.data();
  interface.num_altsetting = static_cast<int>(descriptors.size());
  return choosePrinterEndpoints(interface);
}

TEST(LibusbBackend, PipesAreTheBulkEndpointsOfAPrinterSetting) {
  const std::uint8_t bulk = LIBUSB_TRANSFER_TYPE_BULK;
  const std::uint8_t interrupt = LIBUSB_TRANSFER_TYPE_INTERRUPT;
  struct Case {
    const char* name;
    std::vector<Setting> settings;
    int altSetting;
    std::uint8_t out, in;
    std::uint16_t inMaxPacket;
  };
  const Case cases[] = {
      {"one bidirectional setting", {{7, 2, {endpoint(0x01, bulk), endpoint(0x82, bulk, 64)}}}, 0, 0x01, 0x82, 64},
      {"interrupt endpoint ignored",
       {{7, 2, {endpoint(0x83, interrupt), endpoint(0x81, bulk), endpoint(0x02, bulk)}}},
       0,
       0x02,
       0x81,
       512},
      {"bidirectional preferred over 1284.4",
       {{7, 3, {endpoint(0x03, bulk), endpoint(0x84, bulk)}}, {7, 2, {endpoint(0x01, bulk), endpoint(0x82, bulk)}}},
       1,
       0x01,
       0x82,
       512},
      {"first full setting when none is bidirectional",
       {{7, 1, {endpoint(0x01, bulk)}}, {7, 3, {endpoint(0x03, bulk), endpoint(0x84, bulk)}}},
       1,
       0x03,
       0x84,
       512},
      {"no bulk IN", {{7, 1, {endpoint(0x01, bulk)}}}, -1, 0, 0, 0},
      {"not a printer setting", {{0xFF, 2, {endpoint(0x01, bulk), endpoint(0x82, bulk)}}}, -1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrinterEndpoints chosen = choose(c.settings);
    EXPECT_EQ(chosen.altSetting, c.altSetting);
    if (c.altSetting < 0) continue;
    EXPECT_EQ(chosen.out, c.out);
    EXPECT_EQ(chosen.in, c.in);
    EXPECT_EQ(chosen.inMaxPacketSize, c.inMaxPacket);
  }
}

TEST(LibusbBackend, TransfersAreAskedForInWholePackets) {
  struct Case {
    std::size_t wanted;
    std::uint16_t maxPacket;
    std::size_t size;
  };
  const Case cases[] = {{16, 512, 512}, {512, 512, 512}, {513, 512, 1024}, {1024, 64, 1024}, {10, 0, 10}};
  for (const Case& c : cases) {
    EXPECT_EQ(InTransferRemainder::transferSize(c.wanted, c.maxPacket), c.size) << c.wanted << "/" << c.maxPacket;
  }
}

TEST(LibusbBackend, BytesBeyondTheWantedCountComeWithTheNextReads) {
  // A printer that sent its 16-byte reply and 6 bytes of data in one transfer.
  InTransferRemainder remainder;
  std::vector<std::uint8_t> surplus = {'/', 'e', 't', 'c', '/', 'v'};
  remainder.keep(surplus.data(), surplus.size());
  std::uint8_t buffer[8] = {};
  EXPECT_FALSE(remainder.empty());
  EXPECT_EQ(remainder.take(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, buffer + 4), "/etc");
  EXPECT_EQ(remainder.take(buffer, 8), 2u);
  EXPECT_EQ(std::string(buffer, buffer + 2), "/v");
  EXPECT_TRUE(remainder.empty());
  EXPECT_EQ(remainder.take(buffer, 8), 0u);
}

// The machine's own printers stay out of the link's way: the one interface listed is one
// that no bus has, and its pipes are opened through libusb.
class OnlyAnAbsentInterface : public ForwardingBackend {
 public:
  using ForwardingBackend::ForwardingBackend;
  std::vector<std::u16string> interfacePaths() override { return {kPath}; }
  static constexpr const char16_t* kPath = u"vid_232b&pid_0ef5#250-9.9.9:1.0";
};

TEST(LibusbBackend, AnAbsentDeviceCannotBeOpened) {
  LibusbBackend backend;
  const std::u16string absent = OnlyAnAbsentInterface::kPath;
  EXPECT_EQ(backend.openPipe(absent, PipeEnd::write), nullptr);
  for (const std::u16string& listed : backend.interfacePaths()) EXPECT_NE(listed, absent);
  OnlyAnAbsentInterface listingIt(backend);
  UsbPrinterLink link(listingIt);
  EXPECT_EQ(link.open(), LinkStatus::pipeOpenFailed);
  EXPECT_FALSE(link.connected());
}

// Without the rule the user is told to install it; with it, that it serves the user at the
// machine's seat only, which a user logged in over ssh is not.
TEST(LibusbBackend, ANoPermissionHintFitsTheMachine) {
  EXPECT_NE(noPermissionHint(false).find("install the udev rule 60-kestrava.rules"), std::string::npos);
  const std::string seat = noPermissionHint(true);
  EXPECT_EQ(seat.find("install the udev rule"), std::string::npos) << seat;
  EXPECT_NE(seat.find("is installed"), std::string::npos) << seat;
  EXPECT_NE(seat.find("over ssh"), std::string::npos) << seat;
}

}  // namespace
}  // namespace kestrava
