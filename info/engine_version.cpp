// Engine firmware version: by OID only; an empty answer is a success.
#include "info/cached_answer.h"
#include "info/printer_info.h"

namespace kestrava {

ResultCode PrinterInfo::getEngineFwVersion(std::u16string& out) {
  return cachedAnswer(engineFwVersion_, out, [this](std::u16string& version) {
    return device_.queryOid("OID_PLATFORM_ENG_FW_VERSION", 0, version);
  });
}

}  // namespace kestrava
