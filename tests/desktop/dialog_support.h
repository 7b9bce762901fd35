// What the tests of the Linux dialog share: its controls by name, one run from a press of
// "Get data" to its end, and a program started as a user starts it.
#pragma once

#include <string>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/qt/kestrava_dialog.h"

namespace kestrava::testing {

// Long enough for any run against the virtual printer, also under the sanitizers.
constexpr int kDialogRunLimitMs = 30000;

struct DialogControls {
  explicit DialogControls(CKestravaDlg& dialog)
      : model(dialog.findChild<QLabel*>("model")),
        build(dialog.findChild<QLabel*>("build")),
        fwVersion(dialog.findChild<QLabel*>("fwVersion")),
        serialNumber(dialog.findChild<QLabel*>("serialNumber")),
        status(dialog.findChild<QLabel*>("status")),
        failureHint(dialog.findChild<QLabel*>("failureHint")),
        report(dialog.findChild<QPlainTextEdit*>("report")),
        getData(dialog.findChild<QPushButton*>("getData")),
        close(dialog.findChild<QPushButton*>("close")) {}

  QLabel* model;
  QLabel* build;
  QLabel* fwVersion;
  QLabel* serialNumber;
  QLabel* status;
  QLabel* failureHint;
  QPlainTextEdit* report;
  QPushButton* getData;
  QPushButton* close;
};

// Clicks "Get data" and waits until the run's worker has ended and been joined.
inline bool runOnce(CKestravaDlg& dialog) {
  QSignalSpy ended(&dialog, &CKestravaDlg::runEnded);
  QTest::mouseClick(DialogControls(dialog).getData, Qt::LeftButton);
  return ended.count() > 0 || ended.wait(kDialogRunLimitMs);
}

struct ProgramOutcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` (already quoted for the shell) and `environment`
// assignments before it.
ProgramOutcome runProgram(const std::string& program, const std::string& arguments,
                          const std::string& environment = {});

}  // namespace kestrava::testing
