// Remaining life of each toner and drum: one OID query per list entry, kept only when
// the whole pass succeeded.
#include "base/decimal_text.h"
#include "info/cached_answer.h"
#include "info/printer_info.h"

namespace kestrava {

namespace {

ResultCode readLevels(PrinterDevice& device, ConsumableList& list, bool& cached, const char* oidName,
                      ConsumableList& out) {
  return cachedAnswer(list, cached, out, [&](ConsumableList& scratch) {
    scratch = list;
    if (scratch.empty()) return ResultCode::countersNotDefined;
    for (ConsumableEntry& entry : scratch) {
      std::u16string answer;
      ResultCode result = device.queryOid(oidName, entry.oidIndex, answer);
      if (failed(result)) return result;
      entry.percentRemaining = decimalToInt32(answer);
    }
    return ResultCode::noError;
  });
}

}  // namespace

ResultCode PrinterInfo::getConsumableLevels(ConsumableList& out) {
  return readLevels(device_, consumables_, consumablesCached_, "OID_CONSUMABLE_PERCENT_REMAINING", out);
}

ResultCode PrinterInfo::getDrumLevels(ConsumableList& out) {
  return readLevels(device_, drums_, drumsCached_, "OID_CONSUMABLE_DRUM_REMAIN", out);
}

}  // namespace kestrava
