// Serial number: by OID first, by command 0xFF05 second.
#include "base/text_codec.h"
#include "info/cached_answer.h"
#include "info/printer_info.h"

namespace kestrava {

ResultCode PrinterInfo::getSerialNumber(std::u16string& out) {
  return cachedAnswer(serialNumber_, out, [this](std::u16string& serial) {
    if (!failed(device_.queryOid("OID_PLATFORM_PRODUCT_SERIAL_NUM", 0, serial))) return ResultCode::noError;
    return readSerialNumber(device_, serial);
  });
}

ResultCode readSerialNumber(PrinterDevice& device, std::u16string& out) {
  AclCommandBlock block;
  ResultCode result = sendCommand(device, aclcmd::serialNumber, block);
  if (failed(result)) return result;
  // Some firmware sends the length 13 little-endian (0D 00); read big-endian it would be
  // 3328, which no serial number is.
  std::uint32_t length = block.bytes[6] == 0x0D && block.bytes[7] == 0x00 ? 13 : block.be16(6);
  return readTextPhase(device, length, out);
}

}  // namespace kestrava
