// --check on Linux: read from sysfs, the device nodes and a few files of /etc and /run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/machine_check.h"

namespace kestrava {

// What the check asks of the system beyond reading files, so that a test can stand in for
// each: the check of a made-up tree of /sys, /dev, /etc and /run under `root`.
struct LinuxMachine {
  std::string root;  // prefixed to /sys, /dev, /etc, /run, /proc; empty for the machine itself
  // access(R_OK | W_OK): whether this user may open the device node.
  std::function<bool(const std::string& path)> canOpen;
  // The node's access ACL as the kernel keeps it (the system.posix_acl_access attribute);
  // empty when it has none.
  std::function<std::vector<std::uint8_t>(const std::string& path)> aclOf;
  std::function<std::optional<std::string>(const std::string& name)> environment;
  // Runs a program found on PATH (loginctl, lpstat) and gives its standard output; nothing
  // when it is not installed, fails or does not end within a few seconds.
  std::function<std::optional<std::string>(const std::vector<std::string>& command)> run;
};

// The machine this runs on.
LinuxMachine thisLinuxMachine();

MachineCheck checkLinuxMachine(const LinuxMachine& machine);

// The named users and groups of an access ACL, "user alice rw, group lp rw"; user and
// group ids are named through the system's user database. Empty for no or a bad ACL.
std::string describeAcl(const std::vector<std::uint8_t>& acl);

}  // namespace kestrava
