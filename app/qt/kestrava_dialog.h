// CKestravaDlg: the program's one window on Linux, in Qt Widgets. It offers the run the
// same operations as the Windows dialog (six text fields, UpdateData, SetStatus and the
// two buttons); the run's life in the window (one at a time, a window that can be closed
// while the printer is still being read) is the RunSession's, on Qt's threads.
#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QIcon>

#include "app/device_selection.h"
#include "run/run_session.h"

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

namespace kestrava {

class DialogUnits;

class CKestravaDlg : public QDialog, public RunWindow {
  Q_OBJECT

 public:
  // Runs read the printer through `backend`, which must outlive the dialog.
  explicit CKestravaDlg(UsbBackend& backend, QWidget* parent = nullptr);
  // Each run reads the printer through a fresh back end from `printer`, so that a
  // replayed trace or a scenario starts from its beginning at every "Get data".
  explicit CKestravaDlg(BackendSource printer, QWidget* parent = nullptr);
  // Ends a run that is still going first (see done).
  ~CKestravaDlg() override;

  // Fields to controls (false) or controls to fields (true), on the GUI thread.
  void UpdateData(bool saveAndValidate) override;
  void EnableWindow(DialogButton button, bool enable) override;
  // Says why the printer could not be opened and what to do; empty hides it.
  void ShowFailureHint(const std::string& hint) override;

  // "Get data": starts one run on a worker thread and returns at once (RunSession::start).
  void OnGetData();

  // Sees every event of the dialog and its controls before they do; true swallows it.
  bool PreTranslateMessage(QEvent* message);

  // A run's worker exists and has not been joined yet; it may already have given the
  // buttons back.
  bool runInProgress() const { return m_session.inProgress(); }

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
  QPlainTextEdit* createReport(const DialogUnits& du);
  QHBoxLayout* createButtons(const DialogUnits& du);
  QStatusBar* createStatusBar();
  QGridLayout* createValues(const DialogUnits& du);
  QLabel* createFailureHint();
  // Gives the window its size: the template's, grown to what the font needs, shrunk to
  // the screen's available area.
  void FitToScreen();
  void OnInitDialog();
  void DoDataExchange(bool saveAndValidate);
  void OnRunJoined() override { emit runEnded(); }
  RunSessionSeams runSeams();

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

  RunSession m_session;
};

}  // namespace kestrava
