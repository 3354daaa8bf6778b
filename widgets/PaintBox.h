#pragma once

#include <memory>

#include "widgets/Canvas.h"
#include "widgets/Control.h"

// Paints nothing of its own; raises OnPaint at every repaint.
class TPaintBox : public TGraphicControl {
 public:
  explicit TPaintBox(TComponent* AOwner);
  ~TPaintBox() override;

  TCanvas* Canvas() { return FCanvas.get(); }

  TNotifyEvent OnPaint;

  // Layer internal: runs a paint event with APainter.
  void PeerPaint(QPainter* APainter);

 private:
  std::unique_ptr<TCanvas> FCanvas;
};
