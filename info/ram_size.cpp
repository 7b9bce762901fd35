// Memory size in megabytes: by OID first, by command 0xFF85 second.
#include "base/decimal_text.h"
#include "info/cached_answer.h"
#include "info/printer_info.h"

namespace kestrava {

ResultCode PrinterInfo::getRamSize(std::uint32_t& megabytes) {
  return cachedAnswer(ramSizeMb_, megabytes, [this](std::uint32_t& size) {
    std::u16string answer;
    if (!failed(device_.queryOid("OID_MEMORY_TOTAL_SIZE_IN_MBYTES", 0, answer))) {
      // A negative answer is kept as the unsigned number of the same bits, so the report
      // shows what the printer said instead of a made-up size.
      size = static_cast<std::uint32_t>(decimalToInt32(answer));
      return ResultCode::noError;
    }
    // The first boards know only the command; when both fail, the command's code is the
    // one that tells what went wrong last.
    return readRamSize(device_, size);
  });
}

ResultCode readRamSize(PrinterDevice& device, std::uint32_t& megabytes) {
  AclCommandBlock block;
  ResultCode result = sendCommand(device, aclcmd::ramSize, block);
  if (failed(result)) return result;
  // The one little-endian number of the protocol: 0xFF85 answers in the byte order of the
  // printer's controller, so 80 00 means 128 MB (read big-endian it would be 32768).
  megabytes = static_cast<std::uint32_t>(block.bytes[6] | block.bytes[7] << 8);
  return ResultCode::noError;
}

}  // namespace kestrava
