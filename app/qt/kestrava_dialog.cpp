#include "app/qt/kestrava_dialog.h"

#include <algorithm>
#include <iterator>
#include <string>

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QThread>

#include "app/shown_fields.h"
#include "base/version.h"
#include "base/text_codec.h"
#include "link/forwarding_backend.h"
#include "run/silence_reason.h"

namespace kestrava {

// Sizes and gaps are those of the Windows template, in its dialog units, so that the window
// keeps its proportions with any font: a quarter of the average character width across, an
// eighth of the character height down. They are the least a control gets; one whose text
// needs more is given more.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    QFontMetrics metrics(font);
    baseX_ =
        (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) /
        2;
    baseY_ = metrics.height();
  }
  int x(int units) const { return (units * baseX_ + 2) / 4; }
  int y(int units) const { return (units * baseY_ + 4) / 8; }

 private:
  int baseX_ = 6;
  int baseY_ = 13;
};

namespace {

constexpr const char* kProgramName = "Kestrava";

// A text in a box drawn as a greyed, disabled edit field, as the Windows template draws the
// boxes behind its captions and values. The box is the label's own painting, never a
// control of its own beside or behind it, so no other control covers its lines.
class BoxedLabel : public QLabel {
 public:
  BoxedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

  int frameLineWidth() const {
    QStyleOptionFrame box;
    box.initFrom(this);
    return style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &box, this);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QStyleOptionFrame box;
    box.initFrom(this);
    box.state &= ~QStyle::State_Enabled;
    box.palette.setCurrentColorGroup(QPalette::Disabled);
    box.lineWidth = frameLineWidth();
    box.midLineWidth = 0;
    {
      QPainter painter(this);
      style()->drawPrimitive(QStyle::PE_PanelLineEdit, &box, &painter, this);
    }
    QLabel::paintEvent(event);
  }
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

// Why a run that learned nothing ended so: the pipes would not open, or the printer
// answered nothing (its status still says "done").
std::string runHint(RunOutcome outcome, const RunRecord& record, const UsbBackend& backend) {
  if (outcome == RunOutcome::connectFailed) return backend.openFailureHint();
  if (outcome == RunOutcome::printerSilent) {
    const std::string peer = backend.peerName();
    return silenceReason(record, peer.empty() ? toUtf8(record.devicePath) : peer);
  }
  return {};
}

// A run's worker as a QThread, joined by the session.
class QtRunThread : public RunThread {
 public:
  explicit QtRunThread(std::function<void()> work) : thread_(QThread::create(std::move(work))) { thread_->start(); }
  ~QtRunThread() override { thread_->wait(); }
  QtRunThread(const QtRunThread&) = delete;
  QtRunThread& operator=(const QtRunThread&) = delete;

  void join() override { thread_->wait(); }

 private:
  std::unique_ptr<QThread> thread_;
};

}  // namespace

CKestravaDlg::CKestravaDlg(UsbBackend& backend, QWidget* parent)
    : QDialog(parent),
      m_icon(QStringLiteral(":/kestrava.png")),
      m_session(
          *this, runSeams(), [&backend] { return std::make_unique<ForwardingBackend>(backend); }, runHint) {
  createControls();
  OnInitDialog();
}

CKestravaDlg::CKestravaDlg(BackendSource printer, QWidget* parent)
    : QDialog(parent),
      m_icon(QStringLiteral(":/kestrava.png")),
      m_session(*this, runSeams(), std::move(printer), runHint) {
  createControls();
  OnInitDialog();
}

// A run still going is cancelled and joined while the window is still whole.
CKestravaDlg::~CKestravaDlg() { m_session.stop(); }

RunSessionSeams CKestravaDlg::runSeams() {
  return {[](std::function<void()> work) -> std::unique_ptr<RunThread> {
            return std::make_unique<QtRunThread>(std::move(work));
          },
          // Queued to the dialog: what is still queued when it goes is dropped with it.
          [this](std::function<void()> action) {
            QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
          }};
}

// The report box: read-only, wrapped at its edge, without scroll bars until it needs one.
QPlainTextEdit* CKestravaDlg::createReport(const DialogUnits& du) {
  auto* report = new QPlainTextEdit(this);
  report->setObjectName(QStringLiteral("report"));
  report->setReadOnly(true);
  report->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  report->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  report->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // A read-only box is drawn on the dialog's own background, as on Windows. Its frame is a
  // plain line in the colour of the boxes' lines: the style's own panel frame draws its top
  // and left lines half outside the box, and at a fractional scale they are lost.
  QPalette readOnly = report->palette();
  readOnly.setColor(QPalette::Base, readOnly.color(QPalette::Window));
  readOnly.setColor(QPalette::WindowText, readOnly.color(QPalette::Window).darker(140));
  report->setPalette(readOnly);
  report->setFrameStyle(QFrame::Box | QFrame::Plain);
  // No scroll bar, as on Windows, until the report holds more lines than the box shows (a
  // colour printer's, or any in a box shortened to fit a small screen): then it gets one
  // rather than hiding its last lines.
  connect(report->verticalScrollBar(), &QScrollBar::rangeChanged, report, [report](int, int maximum) {
    report->setVerticalScrollBarPolicy(maximum > 0 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  });
  m_reportHeight = du.y(101);
  m_reportControl = report;
  return report;
}

// "Get data" and "Close", right-aligned; neither is the default, so Enter presses nothing.
QHBoxLayout* CKestravaDlg::createButtons(const DialogUnits& du) {
  auto addButton = [&](const char* name, const QString& text) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    button->setMinimumSize(du.x(50), du.y(14));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
  };
  QPushButton* getData = addButton("getData", QStringLiteral("Get data"));
  QPushButton* close = addButton("close", QStringLiteral("Close"));
  connect(getData, &QPushButton::clicked, this, &CKestravaDlg::OnGetData);
  connect(close, &QPushButton::clicked, this, &CKestravaDlg::accept);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(du.x(5));
  buttons->addStretch(1);
  buttons->addWidget(getData);
  buttons->addWidget(close);
  return buttons;
}

QStatusBar* CKestravaDlg::createStatusBar() {
  auto* statusBar = new QStatusBar(this);
  statusBar->setObjectName(QStringLiteral("statusBar"));
  statusBar->setSizeGripEnabled(false);
  m_statusControl = new QLabel(statusBar);
  m_statusControl->setObjectName(QStringLiteral("status"));
  m_statusControl->setTextFormat(Qt::PlainText);
  statusBar->addWidget(m_statusControl, 1);
  return statusBar;
}

// The four captions and their values, each in a framed box of its own, on the dialog's
// background.
QGridLayout* CKestravaDlg::createValues(const DialogUnits& du) {
  auto addBox = [&](const char* name, const QString& text) {
    auto* label = new BoxedLabel(text, this);
    label->setObjectName(QLatin1String(name));
    // The text keeps clear of the box's lines: two dialog units in from its sides, as in
    // the template, and never closer than one pixel.
    int line = label->frameLineWidth();
    int side = std::max(du.x(2), line + 1);
    label->setContentsMargins(side, line, side, line);
    label->setMinimumHeight(du.y(12));
    // Board descriptions such as "G&G M2022/Spider4" show their ampersand.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
  };
  auto* values = new QGridLayout;
  values->setSpacing(0);
  values->setColumnStretch(1, 1);
  // In the order of the shown values' table; each value's box is named by its JSON member.
  QLabel** controls[] = {&m_modelControl, &m_buildControl, &m_fwVersionControl, &m_serialNumberControl};
  static_assert(std::size(controls) == std::size(kShownFields));
  for (int row = 0; row < static_cast<int>(std::size(kShownFields)); ++row) {
    const ShownField& field = kShownFields[row];
    QLabel* caption = addBox("caption", QString::fromLatin1(field.caption.data(), static_cast<qsizetype>(field.caption.size())));
    caption->setMinimumWidth(du.x(55));
    values->addWidget(caption, row, 0);
    QLabel* value = addBox(std::string(field.jsonMember).c_str(), {});
    // The value can be selected and copied (mouse, Ctrl+A, Ctrl+C, the context menu); a
    // click gives it the focus, Tab still goes report, "Get data", "Close".
    value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    value->setFocusPolicy(Qt::ClickFocus);
    // A long text is cut at the box's right edge; the box does not grow with it.
    value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    values->addWidget(value, row, 1);
    *controls[row] = value;
  }
  return values;
}

QLabel* CKestravaDlg::createFailureHint() {
  m_failureHintControl = new QLabel(this);
  m_failureHintControl->setObjectName(QStringLiteral("failureHint"));
  m_failureHintControl->setTextFormat(Qt::PlainText);
  m_failureHintControl->setWordWrap(true);
  m_failureHintControl->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_failureHintControl->hide();
  return m_failureHintControl;
}

// The controls of the window in the order and proportions of the Windows template, laid
// out by Qt from the font's real metrics: a box never overlaps another, so every frame
// line is drawn at any scale, and no text is cut at its top or bottom.
void CKestravaDlg::createControls() {
  DialogUnits du(font());
  // Created in this order, which is the order of the focus chain: report, "Get data",
  // "Close".
  QPlainTextEdit* report = createReport(du);
  QHBoxLayout* buttons = createButtons(du);
  QStatusBar* statusBar = createStatusBar();
  QGridLayout* values = createValues(du);
  QLabel* failureHint = createFailureHint();

  auto* body = new QVBoxLayout;
  body->setContentsMargins(du.x(4), du.y(4), du.x(4), du.y(2));
  body->setSpacing(du.y(2));
  body->addLayout(values);
  body->addWidget(report, 1);
  body->addWidget(failureHint);
  body->addLayout(buttons);

  // The status bar runs along the bottom edge at full width, below the buttons.
  auto* window = new QVBoxLayout(this);
  // The window's size is FitToScreen's alone; the layout only places the controls in it.
  window->setSizeConstraint(QLayout::SetNoConstraint);
  window->setContentsMargins(0, 0, 0, 0);
  window->setSpacing(0);
  window->addLayout(body, 1);
  window->addWidget(statusBar);

  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  FitToScreen();

  // Keys reach PreTranslateMessage before the control that has the focus.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void CKestravaDlg::FitToScreen() {
  DialogUnits du(font());
  QLayout* place = layout();
  // What the controls need with the report box at its full height, and at the least.
  m_reportControl->setMinimumHeight(m_reportHeight);
  place->invalidate();
  QSize wanted = place->totalMinimumSize().expandedTo(QSize(du.x(385), du.y(182)));
  m_reportControl->setMinimumHeight(3 * m_reportControl->fontMetrics().lineSpacing());
  place->invalidate();
  QSize least = place->totalMinimumSize();

  QSize room = wanted;
  if (QScreen* shown = screen()) {
    room = shown->availableGeometry().size();
    // The window manager's frame: as it is once the window has one, a title bar's height
    // before.
    QMargins frame(0, 0, 0, 0);
    if (isVisible()) {
      QRect outer = frameGeometry();
      QRect inner = geometry();
      frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                       outer.bottom() - inner.bottom());
    }
    int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    room -= QSize(frame.left() + frame.right(), std::max(frame.top(), titleBar) + frame.bottom());
  }
  setFixedSize(wanted.boundedTo(room).expandedTo(least));
}

void CKestravaDlg::showEvent(QShowEvent* event) {
  // The screen the window opens on may not be the one it was made for.
  FitToScreen();
  QDialog::showEvent(event);
}

void CKestravaDlg::ShowFailureHint(const std::string& hint) {
  if (hint.empty()) {
    m_failureHintControl->clear();
    m_failureHintControl->hide();
    return;
  }
  // The back end's hint is a phrase; in the window it is a sentence.
  QString text = QString::fromStdString(hint);
  text[0] = text[0].toUpper();
  if (!text.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1Char('?'))) text += QLatin1Char('.');
  m_failureHintControl->setText(text);
  m_failureHintControl->show();
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

void CKestravaDlg::UpdateData(bool saveAndValidate) { DoDataExchange(saveAndValidate); }

void CKestravaDlg::EnableWindow(DialogButton button, bool enable) {
  QPushButton* control = button == DialogButton::getData ? m_getDataButton : m_closeButton;
  if (control) control->setEnabled(enable);
}

void CKestravaDlg::OnGetData() { m_session.start(); }

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
  if (m_session.inProgress()) {
    hide();
    m_session.stop();
  }
  QDialog::done(result);
}

}  // namespace kestrava
