// Remaining life of each toner and drum: one OID query per list entry, kept only when
// the whole pass succeeded.
#include "device/printer_device.h"
#include "info/cached_answer.h"
#include "info/decimal_text.h"

namespace kestrava {

namespace {

ResultCode readLevels(PrinterDevice& device, ConsumableList& list, bool& cached,
                      const char* oidName, ConsumableList& out) {
  return cachedAnswer(list, cached, out, [&](ConsumableList& scratch) {
    scratch = list;
    if (scratch.empty()) return rc::countersNotDefined;
    for (ConsumableEntry& entry : scratch) {
      std::u16string answer;
      ResultCode result = device.queryOid(oidName, entry.oidIndex, answer);
      if (result != rc::noError) return result;
      entry.percentRemaining = decimalToInt32(answer);
    }
    return rc::noError;
  });
}

}  // namespace

ResultCode PrinterDevice::getConsumableLevels(ConsumableList& out) {
  return readLevels(*this, consumables, consumablesCached, "OID_CONSUMABLE_PERCENT_REMAINING", out);
}

ResultCode PrinterDevice::getDrumLevels(ConsumableList& out) {
  return readLevels(*this, drums, drumsCached, "OID_CONSUMABLE_DRUM_REMAIN", out);
}

}  // namespace kestrava
