#include "app/qt/kestrava_command_line.h"

#include <ostream>

#include <CLI/CLI.hpp>

#include "base/version.h"

namespace kestrava {

KestravaCommandLine readKestravaCommandLine(const std::vector<std::string>& arguments, bool foreignOptions,
                                            std::ostream& out, std::ostream& err) {
  CLI::App app{
      "The window that reads service information out of a laser printer of USB vendor\n"
      "0x232B and tells which main board and firmware line it carries."};
  app.name("kestrava");
  // Only long options besides -h: a short option would take Qt's -display or -style apart.
  std::string device = "usb";
  app.add_option("--device", device, kDeviceForms);
  app.set_version_flag("--version", KESTRAVA_VERSION_TEXT);
  app.footer("Qt's own options (-platform NAME, -style NAME, ...) are taken as well.");
  app.allow_extras(foreignOptions);

  KestravaCommandLine result;
  try {
    // CLI11 takes a vector of arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) {
      result.exitStatus = app.exit(error, out, err);
    } else {
      err << "kestrava: " << error.what() << '\n';
      result.exitStatus = kUsageExitStatus;
    }
    return result;
  }

  std::string error;
  result.printer = makeBackendSource(device, error);
  if (!result.printer) {
    err << "kestrava: --device: " << error << '\n';
    result.exitStatus = kUsageExitStatus;
  }
  return result;
}

}  // namespace kestrava
