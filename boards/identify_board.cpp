#include "boards/identify_board.h"

#include "boards/board_context.h"
#include "boards/model_table.h"

namespace kestrava {

BoardIdentification identifyBoard(PrinterInfo& info) {
  BoardIdentification found{ResultCode::noError, info.identity()};
  const UsbPrinterLink& link = info.device().link();
  if (!link.connected()) {
    found.result = ResultCode::notConnected;
    return found;
  }
  // A product id we do not know leaves the identity as it was: "undefined" on
  // "unsupported yet", all report lines, toner and drum.
  const ModelEntry* entry = findModel(static_cast<std::uint16_t>(link.usbId() & 0xFFFF));
  if (entry == nullptr) return found;
  // Named before the rule asks anything, so a rule that fails still leaves the name.
  found.identity.modelName = entry->modelName;
  if (isNameOnly(entry->rule)) return found;

  BoardContext board(info, found.identity);
  ConsumableSet set = ConsumableSet::monoDrum;
  found.result = applyBoardRule(entry->rule, board, set);
  if (!failed(found.result)) found.identity.consumableSet = set;
  return found;
}

}  // namespace kestrava
