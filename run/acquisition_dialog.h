// What an acquisition run needs of a dialog: its six text fields, the transfer of the
// fields to the controls, the status and the two buttons. The Windows dialog, the Linux
// dialog and the command line each provide these.
#pragma once

#include <string>

namespace kestrava {

enum class DialogButton { getData, close };

// The status a dialog shows until its first run.
inline constexpr const char16_t* kReadyStatus = u"Ready.";

class AcquisitionDialog {
 public:
  virtual ~AcquisitionDialog() = default;

  // Transfers between the fields and the controls; the run only calls it with false
  // (fields to controls), and every control holds its new text when it returns.
  virtual void UpdateData(bool saveAndValidate) = 0;

  virtual void EnableWindow(DialogButton button, bool enable) = 0;

  void SetStatus(const std::u16string& text) {
    m_status = text;
    UpdateData(false);
  }

  std::u16string m_model;
  std::u16string m_build;
  std::u16string m_fwVersion;
  std::u16string m_serialNumber;
  std::u16string m_report;
  std::u16string m_status;
};

}  // namespace kestrava
