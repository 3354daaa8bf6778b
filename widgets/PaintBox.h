#pragma once

#include "widgets/Canvas.h"
#include "widgets/Control.h"

// Paints nothing of its own; raises OnPaint at every repaint.
class TPaintBox : public TGraphicControl {
 public:
  explicit TPaintBox(TComponent* AOwner);
  ~TPaintBox() override;

  TCanvas* Canvas() { return &FCanvas; }

  TNotifyEvent OnPaint;

  // Layer internal: raises OnPaint with the canvas drawing through APainter.
  void Paint(QPainter* APainter) override;

 private:
  TCanvas FCanvas;
};
