// Kestrava's dialog with a printer on the line: the built-in virtual printer behind the two
// named pipes that the Windows back end opens, and the program's own dialog, in one
// process. Wine has no USB printer, so the back end's list of printer interfaces names the
// pipes' path where SetupAPI would name the printer's; everything from there on (the pipes,
// the protocol, the dialog) is the program's. scripts/windows-smoke --printer runs it to
// click "Get data", wait for "done" and take the README's picture of a finished run.
#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "app/win32/kestrava_dlg.h"
#include "fake_interfaces.h"
#include "link/win32_backend.h"
#include "named_pipe_printer.h"
#include "virtual/scenario.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace kestrava;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  // The pipes listen before the window opens: a run never finds the printer missing.
  testing::NamedPipePrinter printer(virtualprinter::healthyMonoPrinter(), "vid_232b&pid_0ef5");
  CKestravaDlg dialog(nullptr, [path = printer.devicePath()] {
    return std::make_unique<Win32Backend>(testing::fakeInterfaces({{path}}));
  });
  dialog.DoModal();
  return 0;
}
