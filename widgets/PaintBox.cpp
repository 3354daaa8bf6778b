#include "widgets/PaintBox.h"

#include <QPainter>

#include "widgets/Peer.h"

TPaintBox::TPaintBox(TComponent* AOwner)
    : TGraphicControl(AOwner), FCanvas(this) {
  SetBounds(0, 0, 105, 105);
}

TPaintBox::~TPaintBox() = default;

void TPaintBox::Paint(QPainter* APainter) {
  FCanvas.SetPaintPainter(APainter);
  Dispatch([this] { OnPaint(this); });
  FCanvas.SetPaintPainter(nullptr);
}
