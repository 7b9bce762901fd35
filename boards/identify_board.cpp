#include "boards/identify_board.h"

#include "boards/board_context.h"
#include "boards/model_table.h"

namespace kestrava {

ResultCode identifyBoard(PrinterDevice& device) {
  if (!device.link().connected()) return ResultCode::notConnected;
  // A product id we do not know leaves the device as constructed: "undefined" on
  // "unsupported yet", all report lines, toner and drum.
  const ModelEntry* entry = findModel(static_cast<std::uint16_t>(device.link().usbId() & 0xFFFF));
  if (entry == nullptr) return ResultCode::noError;
  // Named before the rule asks anything, so a rule that fails still leaves the name.
  device.setModelName(entry->modelName);
  if (isNameOnly(entry->rule)) return ResultCode::noError;

  BoardContext board(device);
  ConsumableSet set = ConsumableSet::monoDrum;
  if (ResultCode result = applyBoardRule(entry->rule, board, set); failed(result)) return result;
  device.resetReportSwitches();
  device.selectConsumableSet(set);
  return ResultCode::noError;
}

}  // namespace kestrava
