#include "app/qt/display_check.h"

namespace kestrava {

std::optional<std::string> missingDisplay(const std::vector<std::string>& arguments,
                                          const std::function<std::optional<std::string>(const char*)>& environment) {
  std::string platform = environment("QT_QPA_PLATFORM").value_or("");
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "-platform" && i + 1 < arguments.size()) platform = arguments[i + 1];
    if (arguments[i].rfind("-platform=", 0) == 0) platform = arguments[i].substr(10);
  }
  auto set = [&environment](const char* name) { return !environment(name).value_or("").empty(); };
  // A list such as "wayland;xcb" is tried in order: any one that can start will do.
  bool needsDisplay = false;
  std::size_t start = 0;
  do {
    std::size_t end = platform.find(';', start);
    std::string name = platform.substr(start, end == std::string::npos ? std::string::npos : end - start);
    name = name.substr(0, name.find(':'));  // "xcb:option=value"
    if (name.empty() || name == "xcb") {
      if (set("DISPLAY")) return std::nullopt;
      needsDisplay = true;
    } else if (name.rfind("wayland", 0) == 0) {
      if (set("WAYLAND_DISPLAY")) return std::nullopt;
      needsDisplay = true;
    } else {
      return std::nullopt;  // offscreen, minimal, vnc, eglfs, linuxfb: no display to check
    }
    start = end == std::string::npos ? std::string::npos : end + 1;
  } while (start != std::string::npos);
  if (!needsDisplay) return std::nullopt;
  return "no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set, as over ssh or in a "
         "container): start kestrava in a desktop session, or use kestrava-cli, which needs none";
}

}  // namespace kestrava
