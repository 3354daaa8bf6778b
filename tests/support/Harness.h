#pragma once
// Test support: a strict Qt message handler, screen reads through the window
// system (what is on screen, not what a repaint would draw) and synthetic input.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <string>

#include "widgets/Control.h"

class TForm;

namespace testing_support {

// Any Qt warning fails the running test unless a scope expects it.
void InstallStrictMessageHandler();
class ExpectQtWarning {
 public:
  explicit ExpectQtWarning(std::string ASubstring);
  ~ExpectQtWarning();
  int Seen() const;
};

// Shows the form, waits until it is exposed and painted.
void ShowAndSettle(TForm* AForm);
// Runs pending events and paints.
void Settle();

// The window's pixels as the screen has them (no repaint first).
QImage ScreenImage(TControl* AControl);
// A control's point in its window's coordinates.
QPoint WindowPos(TControl* AControl, int X = 0, int Y = 0);
QRgb ScreenPixel(TControl* AControl, int X, int Y);
// Bounding box of pure red pixels inside AControl, in its own coordinates.
QRect RedBox(TControl* AControl);
bool IsRed(QRgb APixel);

void Click(TControl* AControl, int X, int Y, Qt::MouseButton AButton = Qt::LeftButton,
           Qt::KeyboardModifiers AModifiers = Qt::NoModifier);
void DoubleClick(TControl* AControl, int X, int Y);
// A click where a user's would land: on whatever widget is on top at (X, Y)
// of AControl (an editor's viewport, a grid's cell), not on AControl itself.
void ClickOnTop(TControl* AControl, int X, int Y);
// Press at (X, Y), move by (DX, DY) in steps, release.
void Drag(TControl* AControl, int X, int Y, int DX, int DY, int ASteps = 4);
void TypeText(TControl* AControl, const std::string& AText);

// A file's bytes, whole (empty if there is none); and a file written so.
std::string ReadAll(const std::string& APath);
void WriteAll(const std::string& APath, const std::string& ABytes);
void PressKey(TControl* AControl, Qt::Key AKey);

}  // namespace testing_support
