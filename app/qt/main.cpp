// kestrava: the Linux desktop program. One window; the program ends when it closes.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>

#include "app/device_selection.h"
#include "app/qt/display_check.h"
#include "app/qt/kestrava_command_line.h"
#include "app/qt/kestrava_dialog.h"
#include "app/qt/window_system_start.h"

namespace kestrava {

class CKestravaApp : public QApplication {
 public:
  // Qt takes its own options (-platform, -style, ...) out of the arguments.
  CKestravaApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Kestrava"));
    // Lets the desktop find the entry, and with it the icon, of this window.
    setDesktopFileName(QStringLiteral("kestrava"));
  }

  // Shows the dialog modally and returns when it has been closed; a run still in
  // progress has ended by then. Every run reads a fresh back end of `printer`.
  int InitInstance(BackendSource printer) {
    CKestravaDlg dialog(std::move(printer));
    dialog.exec();
    return 0;
  }
};

}  // namespace kestrava

int main(int argc, char** argv) {
  // --help, --version and usage errors are answered before Qt looks for a display.
  kestrava::KestravaCommandLine early =
      kestrava::readKestravaCommandLine({argv + 1, argv + argc}, true, std::cout, std::cerr);
  if (early.exitStatus) return *early.exitStatus;
  const std::optional<std::string> noDisplay =
      kestrava::missingDisplay({argv + 1, argv + argc}, [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
      });
  if (noDisplay) {
    std::cerr << "kestrava: " << *noDisplay << '\n';
    return kestrava::kNoDisplayExitStatus;
  }
  std::optional<kestrava::WindowSystemStart> starting(std::in_place);
  kestrava::CKestravaApp app(argc, argv);
  starting.reset();
  kestrava::KestravaCommandLine line =
      kestrava::readKestravaCommandLine({argv + 1, argv + argc}, false, std::cout, std::cerr);
  if (line.exitStatus) return *line.exitStatus;
  return app.InitInstance(std::move(line.printer));
}
