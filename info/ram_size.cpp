// Memory size in megabytes: by OID first, by command 0xFF85 second.
#include "device/printer_device.h"
#include "info/cached_answer.h"
#include "info/decimal_text.h"

namespace kestrava {

ResultCode PrinterDevice::getRamSize(std::uint32_t& megabytes) {
  return cachedAnswer(ramSizeMb, ramSizeCached, megabytes, [this](std::uint32_t& size) {
    std::u16string answer;
    if (queryOid("OID_MEMORY_TOTAL_SIZE_IN_MBYTES", 0, answer) == rc::noError) {
      // A negative answer is kept as the unsigned number of the same bits.
      size = static_cast<std::uint32_t>(decimalToInt32(answer));
      return rc::noError;
    }
    // The query's code is dropped: when both fail, the command's code is the answer.
    return readRamSize(size);
  });
}

ResultCode PrinterDevice::readRamSize(std::uint32_t& megabytes) {
  AclCommandBlock block;
  ResultCode result = sendCommand(*this, aclcmd::ramSize, block);
  if (result != rc::noError) return result;
  // The one little-endian number of the protocol.
  megabytes = static_cast<std::uint32_t>(block.bytes[6] | block.bytes[7] << 8);
  return rc::noError;
}

}  // namespace kestrava
