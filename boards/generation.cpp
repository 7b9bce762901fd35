// The printer facts several families are told apart by: the firmware generation, the
// machine of the printer's own programs, and where the build date is read from.
#include <cstdint>

#include "boards/slice_compare.h"
#include "device/printer_device.h"

namespace kestrava {

ResultCode PrinterDevice::checkGeneration(bool& newGeneration) {
  if (!link.connected()) return rc::notConnected;
  std::u16string version;
  if (ResultCode result = getFirmwareVersion(version)) return result;
  // The old line is the "H" firmware and the four A releases 4.A.0.2 to 4.A.0.5.
  if (versionSlice(version, 2, 1) == u"H") {
    newGeneration = false;
  } else {
    std::u16string_view head = versionSlice(version, 0, 7);
    newGeneration = head < u"4.A.0.2" || head > u"4.A.0.5";
  }
  return rc::noError;
}

ResultCode PrinterDevice::probeBusyboxMachine(bool& isMachine27) {
  isMachine27 = false;
  if (!link.connected()) return rc::notConnected;
  // The ELF header is all we need: a larger file only fills the buffer, which is the
  // normal case and not a failure.
  std::uint8_t head[32] = {};
  std::uint32_t fileSize = 0;
  ResultCode result = readFile("/bin/busybox", head, sizeof head, fileSize);
  if (result != rc::bufferTooSmall) return result;
  constexpr std::size_t kMachineLowByte = 18;
  isMachine27 = head[kMachineLowByte] == 0x27;
  return rc::noError;
}

void PrinterDevice::useVersionFileBuildDate() {
  buildDateHandler = &PrinterDevice::buildDateFromVersionFile;
}

}  // namespace kestrava
