// Qt ends the program (a fatal message, then abort and a core dump, with "Reinstalling the
// application may fix this problem") when the window system it is to use is named but
// cannot be reached: DISPLAY set to a display that is gone, as when an ssh session's
// forwarding has ended or an X server has stopped. While the application starts, kestrava
// turns that end into its own message and exit status.
#pragma once

#include <string>

namespace kestrava {

// What could not be reached and what to do; `display` and `waylandDisplay` as the
// environment has them (empty when unset).
std::string unreachableDisplay(const std::string& display, const std::string& waylandDisplay);

// For its lifetime a fatal message of Qt ends the program with unreachableDisplay's text
// on stderr and kNoDisplayExitStatus; Qt's other messages pass as before. Made before
// the application and ended once it stands.
class WindowSystemStart {
 public:
  WindowSystemStart();
  ~WindowSystemStart();
  WindowSystemStart(const WindowSystemStart&) = delete;
  WindowSystemStart& operator=(const WindowSystemStart&) = delete;
};

}  // namespace kestrava
