// Engine firmware version: by OID only; an empty answer is a success.
#include "device/printer_device.h"
#include "info/cached_answer.h"

namespace kestrava {

ResultCode PrinterDevice::getEngineFwVersion(std::u16string& out) {
  return cachedAnswer(engineFwVersion_, out,
                      [this](std::u16string& version) { return queryOid("OID_PLATFORM_ENG_FW_VERSION", 0, version); });
}

}  // namespace kestrava
