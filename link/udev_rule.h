// The udev rule that lets the user at the machine's seat open the printers of vendor
// 0x232B, and the folders udev reads rules from: where the package and `cmake --install`
// put it, and where an administrator puts a rule of their own.
#pragma once

#include <array>
#include <string_view>

namespace kestrava {

inline constexpr std::string_view kUdevRuleName = "60-kestrava.rules";

inline constexpr std::array<std::string_view, 5> kUdevRuleFolders{
    "/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d",
    "/usr/local/lib/udev/rules.d"};

}  // namespace kestrava
