// Firmware version: by OID first, by command 0x0001 second.
#include "base/text_codec.h"
#include "info/cached_answer.h"
#include "info/printer_info.h"

namespace kestrava {

ResultCode PrinterInfo::getFirmwareVersion(std::u16string& out) {
  return cachedAnswer(fwVersion_, out, [this](std::u16string& version) {
    if (!failed(device_.queryOid("OID_PLATFORM_FW_VERSION", 0, version))) return ResultCode::noError;
    // Printers without the OID know the command; when both fail, the command's code is the
    // one that tells what went wrong last.
    AclCommandBlock block;
    ResultCode result = sendCommand(device_, aclcmd::firmwareVersion, block);
    if (failed(result)) return result;
    // The reply block has room for 8 characters (bytes 6 to 13). A version of exactly 8
    // fills them without a NUL, and what some firmware leaves in bytes 14 and 15 is not
    // part of it: byte 14 counts as the end whatever the printer put there.
    version = widenPrinterText(block.data() + 6, 8);
    return ResultCode::noError;
  });
}

}  // namespace kestrava
