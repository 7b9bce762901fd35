// A dialog for tests that records every operation a run performs on it.
#pragma once

#include <string>
#include <vector>

#include "run/acquisition_dialog.h"
#include "base/text_codec.h"

namespace kestrava::testing {

// `Base` is the dialog's interface: AcquisitionDialog, or one derived from it.
template <class Base>
class Recording : public Base {
 public:
  // One line per operation: "update model=...|build=...|..." or "enable getData 0".
  std::vector<std::string> log;
  bool getDataEnabled = true;
  bool closeEnabled = true;

  void UpdateData(bool saveAndValidate) override {
    log.push_back(std::string("update ") + (saveAndValidate ? "in " : "") + "model=" + toUtf8(this->m_model) +
                  "|build=" + toUtf8(this->m_build) + "|fw=" + toUtf8(this->m_fwVersion) +
                  "|sn=" + toUtf8(this->m_serialNumber) + "|report=" + toUtf8(this->m_report) +
                  "|status=" + toUtf8(this->m_status));
  }
  void EnableWindow(DialogButton button, bool enable) override {
    (button == DialogButton::getData ? getDataEnabled : closeEnabled) = enable;
    log.push_back(std::string("enable ") + (button == DialogButton::getData ? "getData " : "close ") +
                  (enable ? "1" : "0"));
  }
};

using RecordingDialog = Recording<AcquisitionDialog>;

}  // namespace kestrava::testing
