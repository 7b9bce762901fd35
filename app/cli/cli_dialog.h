// The command line's stand-in for the dialog: it holds the six fields of a run and
// reports progress to the terminal.
#pragma once

#include <functional>

#include "run/acquisition_dialog.h"

namespace kestrava {

class CliDialog : public AcquisitionDialog {
 public:
  // Called after every transfer of the fields (for progress output); may be empty.
  std::function<void(const CliDialog&)> onUpdate;

  void UpdateData(bool saveAndValidate) override {
    if (!saveAndValidate && onUpdate) onUpdate(*this);
  }
  void EnableWindow(DialogButton, bool) override {}
};

}  // namespace kestrava
