#include "app/qt/kestrava_dialog.h"

#include <algorithm>

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>

#include "base/version.h"
#include "run/acquisition_thread.h"

namespace kestrava {

namespace {

constexpr const char* kProgramName = "Kestrava";

// Positions are kept in the dialog units of the Windows template so that the window keeps
// its proportions with any font: a quarter of the average character width across, an
// eighth of the character height down.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    QFontMetrics metrics(font);
    baseX_ = (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
    baseY_ = metrics.height();
  }
  int x(int units) const { return (units * baseX_ + 2) / 4; }
  int y(int units) const { return (units * baseY_ + 4) / 8; }
  QRect rect(int left, int top, int width, int height) const {
    return QRect(x(left), y(top), x(left + width) - x(left), y(top + height) - y(top));
  }

 private:
  int baseX_ = 6;
  int baseY_ = 13;
};

// The report comes with Windows line ends; the text box wants bare line feeds.
QString reportForDisplay(const std::u16string& report) {
  QString text = QString::fromStdU16String(report);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::u16string reportFromDisplay(const QString& shown) {
  QString text = shown;
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return text.toStdU16String();
}

void setLabelText(QLabel* label, const std::u16string& text) {
  QString shown = QString::fromStdU16String(text);
  if (label->text() != shown) label->setText(shown);
}

}  // namespace

CKestravaDlg::CKestravaDlg(UsbBackend& backend, QWidget* parent)
    : QDialog(parent), m_backend(backend), m_icon(QStringLiteral(":/kestrava.png")) {
  createControls();
  OnInitDialog();
}

CKestravaDlg::~CKestravaDlg() { StopRun(); }

// The controls of the window, in the order and at the places of the Windows template.
void CKestravaDlg::createControls() {
  DialogUnits du(font());

  auto* report = new QPlainTextEdit(this);
  report->setObjectName(QStringLiteral("report"));
  report->setGeometry(du.rect(4, 51, 377, 101));
  report->setReadOnly(true);
  report->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  report->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  report->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // A read-only box is drawn on the dialog's own background, as on Windows.
  QPalette readOnly = report->palette();
  readOnly.setColor(QPalette::Base, readOnly.color(QPalette::Window));
  report->setPalette(readOnly);
  m_reportControl = report;

  auto addButton = [&](const char* name, const QString& text, QRect place) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    // Neither button is the default: Enter presses nothing.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
  };
  QPushButton* getData = addButton("getData", QStringLiteral("Get data"), du.rect(276, 154, 50, 14));
  QPushButton* close = addButton("close", QStringLiteral("Close"), du.rect(331, 154, 50, 14));
  connect(getData, &QPushButton::clicked, this, &CKestravaDlg::OnGetData);
  connect(close, &QPushButton::clicked, this, &CKestravaDlg::accept);

  auto* statusBar = new QStatusBar(this);
  statusBar->setObjectName(QStringLiteral("statusBar"));
  statusBar->setSizeGripEnabled(false);
  m_statusControl = new QLabel(statusBar);
  m_statusControl->setObjectName(QStringLiteral("status"));
  m_statusControl->setTextFormat(Qt::PlainText);
  statusBar->addWidget(m_statusControl, 1);

  // Grey framed boxes behind the labels and the values; they hold nothing.
  const int rows[] = {4, 15, 26, 37};
  for (int top : rows) {
    for (QRect place : {du.rect(4, top, 55, 12), du.rect(58, top, 323, 12)}) {
      auto* frame = new QLineEdit(this);
      frame->setGeometry(place);
      frame->setEnabled(false);
      frame->setFocusPolicy(Qt::NoFocus);
    }
  }

  auto addLabel = [&](const char* name, const QString& text, QRect place) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    // Board descriptions such as "G&G M2022/Spider4" show their ampersand; a long text is
    // cut at the box's right edge.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
  };
  const char* captions[] = {"Model", "Build", "FW version", "Serial number"};
  for (int row = 0; row < 4; ++row) addLabel("", QLatin1String(captions[row]), du.rect(6, rows[row] + 2, 51, 8));
  m_modelControl = addLabel("model", {}, du.rect(60, 6, 319, 8));
  m_buildControl = addLabel("build", {}, du.rect(60, 17, 319, 8));
  m_fwVersionControl = addLabel("fwVersion", {}, du.rect(60, 28, 319, 8));
  m_serialNumberControl = addLabel("serialNumber", {}, du.rect(60, 39, 319, 8));

  // The status bar runs along the bottom edge at full width, below the buttons.
  int statusHeight = statusBar->sizeHint().height();
  QSize client(du.x(385), std::max(du.y(182), du.y(154 + 14) + du.y(2) + statusHeight));
  statusBar->setGeometry(0, client.height() - statusHeight, client.width(), statusHeight);
  setFixedSize(client);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  // Keys reach PreTranslateMessage before the control that has the focus.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void CKestravaDlg::OnInitDialog() {
  DoDataExchange(false);
  m_getDataButton = findChild<QPushButton*>(QStringLiteral("getData"));
  m_closeButton = findChild<QPushButton*>(QStringLiteral("close"));
  QString title = QStringLiteral("%1 %2").arg(QLatin1String(kProgramName), QLatin1String(KESTRAVA_TITLE_VERSION_TEXT));
  SetStatus(kReadyStatus);
  setWindowTitle(title);
  setWindowIcon(m_icon);
  m_reportControl->setFocus();
}

void CKestravaDlg::DoDataExchange(bool saveAndValidate) {
  if (saveAndValidate) {
    m_model = m_modelControl->text().toStdU16String();
    m_build = m_buildControl->text().toStdU16String();
    m_fwVersion = m_fwVersionControl->text().toStdU16String();
    m_serialNumber = m_serialNumberControl->text().toStdU16String();
    m_status = m_statusControl->text().toStdU16String();
    m_report = reportFromDisplay(m_reportControl->toPlainText());
    return;
  }
  setLabelText(m_modelControl, m_model);
  setLabelText(m_buildControl, m_build);
  setLabelText(m_fwVersionControl, m_fwVersion);
  setLabelText(m_serialNumberControl, m_serialNumber);
  setLabelText(m_statusControl, m_status);
  QString report = reportForDisplay(m_report);
  if (m_reportControl->toPlainText() != report) m_reportControl->setPlainText(report);
}

void CKestravaDlg::onGuiThread(const std::function<void()>& action) {
  if (QThread::currentThread() == thread()) {
    action();
    return;
  }
  // The run waits until the controls show the change. The GUI thread never waits for the
  // run, except while the dialog ends, and then it goes on serving these calls (StopRun).
  QMetaObject::invokeMethod(
      this,
      [this, &action] {
        if (!m_detached) action();
      },
      Qt::BlockingQueuedConnection);
}

void CKestravaDlg::UpdateData(bool saveAndValidate) {
  onGuiThread([this, saveAndValidate] { DoDataExchange(saveAndValidate); });
}

void CKestravaDlg::EnableWindow(DialogButton button, bool enable) {
  onGuiThread([this, button, enable] {
    // The run's last step for the dialog gives "Close" back: from then on it is idle, and
    // a press of "Get data", which is enabled just before, starts the next run.
    if (button == DialogButton::close && enable) m_runActive = false;
    QPushButton* control = button == DialogButton::getData ? m_getDataButton : m_closeButton;
    if (control) control->setEnabled(enable);
  });
}

void CKestravaDlg::OnGetData() {
  if (m_runActive) return;
  // The last run gave the buttons back and has nothing left but freeing its device: its
  // worker asks nothing more of this thread, so it is waited for here.
  if (m_run) JoinRun();
  // The buttons go grey here, before the worker exists: a second click that is already
  // queued finds "Get data" disabled and cannot start a second run.
  EnableWindow(DialogButton::getData, false);
  EnableWindow(DialogButton::close, false);
  m_detached = false;
  m_runActive = true;
  m_runBackend = std::make_unique<CancellableBackend>(m_backend);
  m_run = QThread::create([this, backend = m_runBackend.get()] { AcquisitionThread(*this, *backend); });
  unsigned run = ++m_runsStarted;
  connect(m_run, &QThread::finished, this, [this, run] { OnRunEnded(run); }, Qt::QueuedConnection);
  m_run->start();
}

void CKestravaDlg::OnRunEnded(unsigned run) {
  // The end of a run already joined by the next press is old news.
  if (m_run && run == m_runsStarted) JoinRun();
}

void CKestravaDlg::JoinRun() {
  m_run->wait();
  delete m_run;
  m_run = nullptr;
  m_runBackend.reset();
  m_runActive = false;
  emit runEnded();
}

// Cuts the run loose from the window and waits for its worker. The printer's pipes fail
// from now on, so the run ends after the transfer in progress (one read time-out at most)
// and shows nothing more. Meanwhile the GUI thread keeps serving the worker's hand-overs,
// so neither waits for the other. A run that has given the buttons back asks nothing more
// of this thread and is simply joined.
void CKestravaDlg::StopRun() {
  if (!m_run) return;
  m_detached = true;
  if (!m_runActive) {
    JoinRun();
    return;
  }
  m_runBackend->cancel();
  QEventLoop waiting;
  connect(this, &CKestravaDlg::runEnded, &waiting, &QEventLoop::quit);
  waiting.exec(QEventLoop::ExcludeUserInputEvents);
}

bool CKestravaDlg::PreTranslateMessage(QEvent* message) {
  if (message->type() != QEvent::KeyPress) return false;
  int key = static_cast<QKeyEvent*>(message)->key();
  // Enter presses no button and Escape does not close the window.
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

bool CKestravaDlg::eventFilter(QObject* watched, QEvent* event) {
  if (PreTranslateMessage(event)) return true;
  return QDialog::eventFilter(watched, event);
}

void CKestravaDlg::accept() {
  UpdateData(true);
  QDialog::accept();
}

void CKestravaDlg::done(int result) {
  if (m_run) {
    hide();
    StopRun();
  }
  QDialog::done(result);
}

}  // namespace kestrava
