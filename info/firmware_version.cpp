// Firmware version: by OID first, by command 0x0001 second.
#include "device/printer_device.h"
#include "device/text_codec.h"
#include "info/cached_answer.h"

namespace kestrava {

ResultCode PrinterDevice::getFirmwareVersion(std::u16string& out) {
  return cachedAnswer(fwVersion, fwVersionCached, out, [this](std::u16string& version) {
    if (queryOid("OID_PLATFORM_FW_VERSION", 0, version) == rc::noError) return rc::noError;
    // The query's code is dropped: when both fail, the command's code is the answer.
    AclCommandBlock block;
    ResultCode result = sendCommand(*this, aclcmd::firmwareVersion, block);
    if (result != rc::noError) return result;
    // At most the 8 bytes 6..13; byte 14 counts as the end whatever the printer put there.
    version = widenPrinterText(block.data() + 6, 8);
    return rc::noError;
  });
}

}  // namespace kestrava
