// The four values a run shows beside its report, in the order every front end shows them:
// the caption a person reads, the member of kestrava-cli's JSON a script reads, and the
// dialog's field that holds the value.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "run/acquisition_dialog.h"

namespace kestrava {

struct ShownField {
  std::string_view caption;
  std::string_view jsonMember;
  std::u16string AcquisitionDialog::*value;
};

inline constexpr ShownField kShownFields[] = {
    {"Model", "model", &AcquisitionDialog::m_model},
    {"Build", "build", &AcquisitionDialog::m_build},
    {"FW version", "fwVersion", &AcquisitionDialog::m_fwVersion},
    {"Serial number", "serialNumber", &AcquisitionDialog::m_serialNumber},
};

// The caption with its colon, padded so that the values of all four start in one column:
// "Model:         ".
inline std::string captionColumn(const ShownField& field) {
  std::size_t width = 0;
  for (const ShownField& each : kShownFields) width = std::max(width, each.caption.size());
  std::string column = std::string(field.caption) + ":";
  column.resize(width + 2, ' ');
  return column;
}

}  // namespace kestrava
