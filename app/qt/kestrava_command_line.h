// The command line of `kestrava`: which printer the window reads (--device, the same forms
// as kestrava-cli's), --help and --version.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/device_selection.h"

namespace kestrava {

struct KestravaCommandLine {
  // The printer of every run; set when the window is to open.
  BackendSource printer;
  // Set when the program ends at once: 0 after --help or --version, 64 after a usage error.
  std::optional<int> exitStatus;
};

inline constexpr int kUsageExitStatus = 64;

// Reads `arguments` (without the program name), writing help and version to `out` and
// usage errors to `err`. Qt takes its own options (-platform, -style, ...) out of the
// arguments only when the application object is made, which needs a display: before that,
// `foreignOptions` lets unknown arguments pass, so that --help, --version and a wrong
// --device are answered on any terminal; afterwards nothing unknown may be left.
KestravaCommandLine readKestravaCommandLine(const std::vector<std::string>& arguments, bool foreignOptions,
                                            std::ostream& out, std::ostream& err);

}  // namespace kestrava
