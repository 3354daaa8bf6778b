#include "tests/support/Harness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <fstream>
#include <iterator>
#include <vector>

#include "widgets/Application.h"
#include "widgets/Form.h"

namespace testing_support {

namespace {
struct TExpectation {
  std::string Substring;
  int Seen = 0;
};
std::vector<TExpectation>& Expectations() {
  static std::vector<TExpectation> expectations;
  return expectations;
}

void StrictHandler(QtMsgType AType, const QMessageLogContext& /*AContext*/, const QString& AMsg) {
  if (AType == QtDebugMsg || AType == QtInfoMsg) return;
  const std::string text = AMsg.toStdString();
  for (TExpectation& e : Expectations())
    if (text.find(e.Substring) != std::string::npos) {
      ++e.Seen;
      return;
    }
  ADD_FAILURE() << "Unexpected Qt message: " << text;
}
}  // namespace

void InstallStrictMessageHandler() { qInstallMessageHandler(StrictHandler); }

ExpectQtWarning::ExpectQtWarning(std::string ASubstring) {
  Expectations().push_back({std::move(ASubstring), 0});
}
ExpectQtWarning::~ExpectQtWarning() { Expectations().pop_back(); }
int ExpectQtWarning::Seen() const { return Expectations().back().Seen; }

void Settle() {
  SyncPeers();
  QApplication::processEvents();
  QApplication::processEvents();
}

void ShowAndSettle(TForm* AForm) {
  AForm->Show();
  QWidget* window = AForm->Handle();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
  // As a window manager would: the shown window takes the keyboard.
  window->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(window));
  Settle();
  window->repaint();
  Settle();
}

// A control's point on the widget it is on (its parent's for a windowless one).
static QPoint HandlePos(TControl* AControl, int X, int Y) {
  const TRect area = AControl->HandleRect();
  return {area.Left + X, area.Top + Y};
}

QPoint WindowPos(TControl* AControl, int X, int Y) {
  QWidget* widget = AControl->Handle();
  return widget->mapTo(widget->window(), HandlePos(AControl, X, Y));
}

QImage ScreenImage(TControl* AControl) {
  QWidget* window = AControl->Handle()->window();
  QScreen* screen = window->screen();
  return screen->grabWindow(window->winId()).toImage();
}

QRgb ScreenPixel(TControl* AControl, int X, int Y) {
  return ScreenImage(AControl).pixel(WindowPos(AControl, X, Y));
}

bool IsRed(QRgb APixel) { return qRed(APixel) == 255 && qGreen(APixel) == 0 && qBlue(APixel) == 0; }

QRect RedBox(TControl* AControl) {
  const QImage image = ScreenImage(AControl);
  const QPoint origin = WindowPos(AControl);
  QRect box;
  for (int y = 0; y < AControl->Height(); ++y)
    for (int x = 0; x < AControl->Width(); ++x) {
      const QPoint p = origin + QPoint(x, y);
      if (image.rect().contains(p) && IsRed(image.pixel(p))) box |= QRect(x, y, 1, 1);
    }
  return box;
}

void Click(TControl* AControl, int X, int Y, Qt::MouseButton AButton,
           Qt::KeyboardModifiers AModifiers) {
  QTest::mouseClick(AControl->Handle(), AButton, AModifiers, HandlePos(AControl, X, Y));
  Settle();
}

void DoubleClick(TControl* AControl, int X, int Y) {
  QTest::mouseDClick(AControl->Handle(), Qt::LeftButton, Qt::NoModifier, HandlePos(AControl, X, Y));
  Settle();
}

void ClickOnTop(TControl* AControl, int X, int Y) {
  QWidget* window = AControl->Handle()->window();
  const QPoint at = WindowPos(AControl, X, Y);
  QWidget* target = window->childAt(at);
  if (target == nullptr) target = window;
  QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(window, at));
  Settle();
}

void Drag(TControl* AControl, int X, int Y, int DX, int DY, int ASteps) {
  QWidget* widget = AControl->Handle();
  const QPoint start = HandlePos(AControl, X, Y);
  // Positions are given relative to where the splitter was at the press.
  const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
  QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, start);
  for (int i = 1; i <= ASteps; ++i) {
    const QPoint global = origin + start + QPoint(DX * i / ASteps, DY * i / ASteps);
    QTest::mouseMove(widget, widget->mapFromGlobal(global));
  }
  const QPoint end = widget->mapFromGlobal(origin + start + QPoint(DX, DY));
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, end);
  Settle();
}

// Keys go where the user's would: to the focused part of the control (an
// open cell editor, say), else to the control.
static QWidget* KeyTarget(TControl* AControl) {
  QWidget* handle = AControl->Handle();
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr && (focus == handle || handle->isAncestorOf(focus)) ? focus : handle;
}

void TypeText(TControl* AControl, const std::string& AText) {
  for (QChar ch : QString::fromStdString(AText)) {
    QTest::keyClicks(KeyTarget(AControl), QString(ch));
    Settle();
  }
}

std::string ReadAll(const std::string& APath) {
  std::ifstream in(APath, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& APath, const std::string& ABytes) {
  std::ofstream(APath, std::ios::binary) << ABytes;
}

void PressKey(TControl* AControl, Qt::Key AKey) {
  QTest::keyClick(KeyTarget(AControl), AKey);
  Settle();
}

}  // namespace testing_support
