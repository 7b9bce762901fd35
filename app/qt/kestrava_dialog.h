// CKestravaDlg: the program's one window on Linux, in Qt Widgets. It offers the run the
// same operations as the Windows dialog (six text fields, UpdateData, SetStatus and the
// two buttons) and adds what the run needs to be safe there: only one run at a time, and
// a window that can be closed while the printer is still being read.
#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QIcon>

#include "app/device_selection.h"
#include "run/acquisition_dialog.h"
#include "link/cancellable_backend.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QThread;

namespace kestrava {

class CKestravaDlg : public QDialog, public AcquisitionDialog {
  Q_OBJECT

 public:
  // Runs read the printer through `backend`, which must outlive the dialog.
  explicit CKestravaDlg(UsbBackend& backend, QWidget* parent = nullptr);
  // Each run reads the printer through a fresh back end from `printer`, so that a
  // replayed trace or a scenario starts from its beginning at every "Get data".
  explicit CKestravaDlg(BackendSource printer, QWidget* parent = nullptr);
  // Ends a run that is still going first (see done).
  ~CKestravaDlg() override;

  // Fields to controls (false) or controls to fields (true). From the run's worker the
  // transfer is handed to the GUI thread and returns once the controls show the texts.
  void UpdateData(bool saveAndValidate) override;
  void EnableWindow(DialogButton button, bool enable) override;

  // "Get data": starts one run on a worker thread and returns at once. A press while a
  // run is active does nothing; once the run has given "Close" back, a press starts the
  // next run (after joining the last worker, which has nothing left but freeing its
  // device).
  void OnGetData();

  // Sees every event of the dialog and its controls before they do; true swallows it.
  bool PreTranslateMessage(QEvent* message);

  // A run's worker exists and has not been joined yet; it may already have given the
  // buttons back.
  bool runInProgress() const { return m_run != nullptr; }

 signals:
  // A run's worker has ended and been joined.
  void runEnded();

 public slots:
  // "Close": the controls go back into the fields, then the dialog ends.
  void accept() override;
  // Ends the dialog. A run still in progress is cut loose from the window and stopped.
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void createControls();
  // Gives the window its size: the template's, grown to what the font needs, shrunk to
  // the screen's available area.
  void FitToScreen();
  // Says why the printer could not be opened and what to do; empty hides it.
  void ShowFailureHint(const std::string& hint);
  void OnInitDialog();
  void DoDataExchange(bool saveAndValidate);
  void onGuiThread(const std::function<void()>& action);
  void OnRunEnded(unsigned run);
  void JoinRun();
  void StopRun();

  UsbBackend* m_backend = nullptr;
  BackendSource m_printer;
  QIcon m_icon;
  QPushButton* m_getDataButton = nullptr;
  QPushButton* m_closeButton = nullptr;

  QLabel* m_modelControl = nullptr;
  QLabel* m_buildControl = nullptr;
  QLabel* m_fwVersionControl = nullptr;
  QLabel* m_serialNumberControl = nullptr;
  QPlainTextEdit* m_reportControl = nullptr;
  QLabel* m_statusControl = nullptr;
  QLabel* m_failureHintControl = nullptr;
  // The report box's height in the template; the window keeps it unless the screen is
  // too small.
  int m_reportHeight = 0;

  QThread* m_run = nullptr;
  std::unique_ptr<UsbBackend> m_runPrinter;
  std::unique_ptr<CancellableBackend> m_runBackend;
  // The number of the current run: the end of an earlier one, still queued when the next
  // has started, is told apart by it.
  unsigned m_runsStarted = 0;
  // From the press that starts a run until the run gives "Close" back: a press meanwhile
  // starts nothing.
  bool m_runActive = false;
  // Set on the GUI thread when the window ends during a run: from then on the run's
  // transfers and button changes reach nothing.
  bool m_detached = false;
};

}  // namespace kestrava
