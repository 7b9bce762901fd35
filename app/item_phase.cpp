#include "app/item_phase.h"

namespace kestrava {

void runItemPhase(PrinterDevice& /*device*/, AcquisitionDialog& /*dialog*/,
                  std::u16string& /*value*/) {
  // Board identification and the items come here.
}

}  // namespace kestrava
