// Which printer is attached comes from its USB product id alone; the board rule of its
// family then asks the printer what tells the boards of that family apart.
#include "boards/model_table.h"
#include "device/printer_device.h"

namespace kestrava {

ResultCode PrinterDevice::identifyBoard() {
  if (!link.connected()) return rc::notConnected;
  // A product id we do not know leaves the device as constructed: "undefined" on
  // "unsupported yet", all report lines, toner and drum.
  const ModelEntry* entry = findModel(static_cast<std::uint16_t>(link.usbId() & 0xFFFF));
  if (entry == nullptr) return rc::noError;
  if (entry->rule == nullptr) {
    modelName = entry->modelName;
    return rc::noError;
  }
  return (this->*(entry->rule))(entry->modelName);
}

}  // namespace kestrava
