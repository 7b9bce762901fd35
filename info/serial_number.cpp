// Serial number: by OID first, by command 0xFF05 second.
#include "device/printer_device.h"
#include "base/text_codec.h"
#include "info/cached_answer.h"

namespace kestrava {

ResultCode PrinterDevice::getSerialNumber(std::u16string& out) {
  return cachedAnswer(serialNumber_, out, [this](std::u16string& serial) {
    if (!failed(queryOid("OID_PLATFORM_PRODUCT_SERIAL_NUM", 0, serial))) return ResultCode::noError;
    return readSerialNumber(serial);
  });
}

ResultCode PrinterDevice::readSerialNumber(std::u16string& out) {
  AclCommandBlock block;
  ResultCode result = sendCommand(*this, aclcmd::serialNumber, block);
  if (failed(result)) return result;
  // Some firmware sends the length 13 little-endian (0D 00); read big-endian it would be
  // 3328, which no serial number is.
  std::uint32_t length = block.bytes[6] == 0x0D && block.bytes[7] == 0x00 ? 13 : block.be16(6);
  return readTextPhase(*this, length, out);
}

}  // namespace kestrava
