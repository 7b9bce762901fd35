// The Linux dialog's layout from the font's real metrics. ctest runs DialogGeometry on a
// 1280 x 800 screen at the scales 1, 1.25, 1.5 and 2 and with a 144 dpi font
// (KESTRAVA_TEST_SCREEN and KESTRAVA_TEST_SCALE name what the run must be on); in the
// plain suite it runs on the offscreen platform's default screen.
#include <cmath>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>

#include "dialog_support.h"
#include "virtual/scenario.h"
#include "virtual/virtual_backend.h"

namespace kestrava {
namespace {

using testing::DialogControls;

QRect inDialog(const QWidget* control, const QWidget* dialog) {
  return QRect(control->mapTo(dialog, QPoint(0, 0)), control->size());
}

// True when one of the few rows or columns of device pixels at that side of `box` is a
// line across the middle half of the side: every pixel there clearly darker than the
// window's background.
bool lineDrawn(const QImage& image, QRect box, qreal scale, Qt::Edge side, QRgb background) {
  QRect pixels(std::lround(box.left() * scale), std::lround(box.top() * scale), std::lround(box.width() * scale),
               std::lround(box.height() * scale));
  auto dark = [&](int x, int y) {
    if (!image.rect().contains(x, y)) return false;
    QRgb pixel = image.pixel(x, y);
    return qGray(background) - qGray(pixel) >= 20;
  };
  int reach = int(std::ceil(scale)) + 1;
  bool across = side == Qt::TopEdge || side == Qt::BottomEdge;
  int from = across ? pixels.left() + pixels.width() / 4 : pixels.top() + pixels.height() / 4;
  int to = across ? pixels.right() - pixels.width() / 4 : pixels.bottom() - pixels.height() / 4;
  for (int inward = -1; inward <= reach; ++inward) {
    int at = side == Qt::TopEdge      ? pixels.top() + inward
             : side == Qt::BottomEdge ? pixels.bottom() - inward
             : side == Qt::LeftEdge   ? pixels.left() + inward
                                      : pixels.right() - inward;
    bool whole = true;
    for (int along = from; along <= to && whole; ++along) whole = across ? dark(along, at) : dark(at, along);
    if (whole) return true;
  }
  return false;
}

TEST(DialogGeometry, EveryControlInsideAWindowInsideTheScreenAndEveryFrameLineDrawn) {
  VirtualBackend backend(virtualprinter::loadScenario(KESTRAVA_SOURCE_DIR "/virtual/scenarios/colour.json"));
  CKestravaDlg dialog(backend);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  DialogControls c(dialog);
  ASSERT_TRUE(testing::runOnce(dialog));
  QCoreApplication::processEvents();

  QScreen* screen = dialog.screen();
  ASSERT_TRUE(screen);
  qreal scale = screen->devicePixelRatio();
  if (const char* expected = std::getenv("KESTRAVA_TEST_SCALE")) {
    EXPECT_DOUBLE_EQ(scale, std::atof(expected));
  }
  if (const char* expected = std::getenv("KESTRAVA_TEST_SCREEN")) {
    QSize pixels = screen->geometry().size() * scale;
    EXPECT_EQ(std::to_string(pixels.width()) + "x" + std::to_string(pixels.height()), expected);
  }
  SCOPED_TRACE("scale " + std::to_string(scale));

  // The window with its frame within the screen's available area: "Close" can be reached.
  EXPECT_TRUE(screen->availableGeometry().contains(dialog.frameGeometry()))
      << "window " << dialog.frameGeometry().width() << "x" << dialog.frameGeometry().height() << " screen "
      << screen->availableGeometry().width() << "x" << screen->availableGeometry().height();

  // Every control within the window, and the boxes, report, buttons and status bar apart.
  for (QWidget* control : dialog.findChildren<QWidget*>()) {
    if (!control->isVisible()) continue;
    EXPECT_TRUE(dialog.rect().contains(inDialog(control, &dialog)))
        << control->metaObject()->className() << " " << control->objectName().toStdString();
  }
  QList<QWidget*> apart;
  for (QLabel* box : dialog.findChildren<QLabel*>("caption")) apart << box;
  apart << c.model << c.build << c.fwVersion << c.serialNumber << c.report << c.getData << c.close
        << dialog.findChild<QStatusBar*>("statusBar");
  ASSERT_EQ(apart.size(), 12);
  for (int i = 0; i < apart.size(); ++i) {
    for (int j = i + 1; j < apart.size(); ++j) {
      EXPECT_FALSE(apart[i]->geometry().intersects(apart[j]->geometry()))
          << apart[i]->objectName().toStdString() << " and " << apart[j]->objectName().toStdString();
    }
  }

  // No text cut at its top or bottom, no caption or button text cut at its side.
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (!label->isVisible()) continue;
    QFontMetrics metrics(label->font());
    EXPECT_GE(label->contentsRect().height(), metrics.height()) << label->objectName().toStdString();
    if (label->objectName() == "caption") {
      EXPECT_GE(label->contentsRect().width(), metrics.horizontalAdvance(label->text())) << label->text().toStdString();
    }
  }
  for (QPushButton* button : {c.getData, c.close}) {
    EXPECT_GE(button->width(), button->sizeHint().width());
    EXPECT_GE(button->height(), button->sizeHint().height());
  }
  // The whole report can be seen: it fits its box, or the box scrolls.
  if (c.report->verticalScrollBar()->maximum() > 0) {
    EXPECT_EQ(c.report->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_TRUE(c.report->verticalScrollBar()->isVisible());
  }

  // Every frame line, on all four sides of each box and of the report.
  QImage picture = dialog.grab().toImage();
  QRgb background = dialog.palette().color(QPalette::Window).rgb();
  QList<QWidget*> framed = apart.mid(0, 9);
  for (QWidget* box : framed) {
    for (Qt::Edge side : {Qt::TopEdge, Qt::LeftEdge, Qt::BottomEdge, Qt::RightEdge}) {
      EXPECT_TRUE(lineDrawn(picture, inDialog(box, &dialog), scale, side, background))
          << box->objectName().toStdString() << " side " << side;
    }
  }
}

TEST(DialogValues, CanBeSelectedAndCopiedAndTheReportKeepsItsCopyMenu) {
  VirtualBackend backend(virtualprinter::healthyMonoPrinter());
  CKestravaDlg dialog(backend);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  DialogControls c(dialog);
  ASSERT_TRUE(testing::runOnce(dialog));

  QClipboard* clipboard = QGuiApplication::clipboard();
  for (QLabel* value : {c.model, c.build, c.fwVersion, c.serialNumber}) {
    SCOPED_TRACE(value->objectName().toStdString());
    ASSERT_FALSE(value->text().isEmpty());
    EXPECT_TRUE(value->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(value->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    clipboard->clear();
    QTest::mouseClick(value, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), value);
    QTest::keyClick(value, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(value->selectedText(), value->text());
    QTest::keyClick(value, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), value->text());
  }

  // Tab still goes report, "Get data", "Close": the values are reached by a click.
  c.report->setFocus();
  QWidget* order[] = {c.report, c.getData, c.close, c.report};
  for (int step = 1; step < 4; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), order[step]) << "after " << step << " tabs";
  }

  // The report: its menu offers Copy, and a copy gives the whole report.
  c.report->selectAll();
  std::unique_ptr<QMenu> menu(c.report->createStandardContextMenu());
  bool copyOffered = false;
  for (QAction* action : menu->actions()) {
    if (action->text().remove('&').startsWith("Copy") && action->isEnabled()) copyOffered = true;
  }
  EXPECT_TRUE(copyOffered);
  clipboard->clear();
  c.report->copy();
  EXPECT_EQ(clipboard->text(), c.report->toPlainText());
  EXPECT_TRUE(clipboard->text().contains(c.serialNumber->text()));
}

}  // namespace
}  // namespace kestrava
