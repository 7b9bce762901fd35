// Qt aborts when the window system it is to use is not there ("could not connect to
// display", then a core dump and "Reinstalling the application may fix this problem").
// kestrava looks first and says what is missing and what to use instead.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrava {

// kestrava's exit status when there is no display to open the window on.
inline constexpr int kNoDisplayExitStatus = 1;

// The message to show when the platform Qt would use needs a display that is not set:
// X11 (xcb, Qt's default here) needs DISPLAY, Wayland WAYLAND_DISPLAY; offscreen, vnc
// and the like need none. `arguments` are the program's (for -platform), `environment`
// reads a variable (nullopt when unset).
std::optional<std::string> missingDisplay(const std::vector<std::string>& arguments,
                                          const std::function<std::optional<std::string>(const char*)>& environment);

}  // namespace kestrava
