// Which printer is attached comes from its USB product id alone; the board rule of its
// family then asks the printer what tells the boards of that family apart.
#pragma once

#include "device/printer_device.h"

namespace kestrava {

// Looks the product id up in the model table, names the model and runs its board rule.
// A rule that decided gets the report switches from their defaults and its consumable set;
// one that failed leaves its stage code and everything else as it was. An unknown product
// id changes nothing. Returns the rule's result (4 when the link is not open).
ResultCode identifyBoard(PrinterDevice& device);

}  // namespace kestrava
