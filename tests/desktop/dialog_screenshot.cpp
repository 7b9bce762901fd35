// Makes a picture of the dialog after a run against the built-in virtual printer:
//   kestrava-dialog-screenshot OUT.png
// Runs on the offscreen platform, so it needs no display.
#include <cstdio>

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QWidget>

#include "app/qt/kestrava_dialog.h"
#include "virtual/virtual_backend.h"
#include "virtual/scenario.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kestrava-dialog-screenshot OUT.png\n");
    return 64;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kestrava::VirtualBackend backend(kestrava::virtualprinter::healthyMonoPrinter());
  kestrava::CKestravaDlg dialog(backend);
  dialog.show();
  QEventLoop waiting;
  QObject::connect(&dialog, &kestrava::CKestravaDlg::runEnded, &waiting, &QEventLoop::quit);
  dialog.OnGetData();
  waiting.exec();
  // A blinking caret would make every picture a little different.
  if (QWidget* focused = dialog.focusWidget()) focused->clearFocus();
  if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "kestrava-dialog-screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
