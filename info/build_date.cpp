// Build date: through the replaceable handler, from command 0x0008 / the OID, or from
// the printer's /etc/version.
#include "device/printer_device.h"

namespace kestrava {

ResultCode PrinterDevice::queryBuildDate(std::u16string&) { return rc::notConnected; }

}  // namespace kestrava
