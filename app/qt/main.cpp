// kestrava: the Linux desktop program. One window; the program ends when it closes.
#include <memory>

#include <QApplication>

#include "app/device_selection.h"
#include "app/qt/kestrava_dialog.h"

namespace kestrava {

class CKestravaApp : public QApplication {
 public:
  // Qt takes its own options (-platform, -style, ...) out of the arguments; the program
  // itself reads none.
  CKestravaApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Kestrava"));
    // Lets the desktop find the entry, and with it the icon, of this window.
    setDesktopFileName(QStringLiteral("kestrava"));
  }

  // Shows the dialog modally and returns when it has been closed; a run still in
  // progress has ended by then.
  int InitInstance() {
    std::unique_ptr<UsbBackend> backend = makePlatformBackend();
    CKestravaDlg dialog(*backend);
    dialog.exec();
    return 0;
  }
};

}  // namespace kestrava

int main(int argc, char** argv) {
  kestrava::CKestravaApp app(argc, argv);
  return app.InitInstance();
}
