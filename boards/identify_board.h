// Which printer is attached comes from its USB product id alone; the board rule of its
// family then asks the printer what tells the boards of that family apart.
#pragma once

#include "info/board_identity.h"
#include "info/printer_info.h"

namespace kestrava {

// What identifyBoard found: the rule's result and what it decided.
struct BoardIdentification {
  ResultCode result = ResultCode::noError;
  BoardIdentity identity;
};

// Looks the product id up in the model table, names the model and runs its board rule,
// starting from the identity `info` holds; nothing is applied to `info` (the answers the
// rule reads are kept there all the same). A rule that decided gives its consumable set;
// one that failed leaves its stage code and the set as it was, and keeps what it decided
// before its failing step (a build-date source). An unknown product id changes nothing.
// The result is the rule's (4 when the link is not open).
BoardIdentification identifyBoard(PrinterInfo& info);

}  // namespace kestrava
