#pragma once

#include "widgets/Types.h"

class QPainter;
class TControl;

class TPen {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor AColor) { FColor = AColor; }

 private:
  TColor FColor = clBlack;
};

// Drawing surface of a control. Inside its paint event it paints through the
// event's painter; outside, it draws straight onto the screen, clipped to the
// part of the control nothing covers, and nothing remembers the drawing.
class TCanvas {
 public:
  explicit TCanvas(TControl* AControl) : FControl(AControl) {}

  TPen* Pen() { return &FPen; }
  void MoveTo(int X, int Y);
  // Draws a line from the pen position up to, not including, (X, Y).
  void LineTo(int X, int Y);
  int PenX() const { return FPenX; }
  int PenY() const { return FPenY; }

  // Layer internal: the painter of the running paint event, or null.
  void SetPaintPainter(QPainter* APainter) { FPainter = APainter; }

 private:
  TControl* FControl;
  TPen FPen;
  int FPenX = 0;
  int FPenY = 0;
  QPainter* FPainter = nullptr;
};
