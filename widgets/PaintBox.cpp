#include "widgets/PaintBox.h"

#include <QPainter>

#include "widgets/Peer.h"

namespace {
class TPaintBoxPeer : public TPlainPeer {
 public:
  using TPlainPeer::TPlainPeer;

 protected:
  void paintEvent(QPaintEvent* /*AEvent*/) override {
    TPaintScope scope;
    QPainter painter(this);
    static_cast<TPaintBox*>(FControl)->PeerPaint(&painter);
  }
};
}  // namespace

TPaintBox::TPaintBox(TComponent* AOwner)
    : TGraphicControl(AOwner, new TPaintBoxPeer(this)), FCanvas(std::make_unique<TCanvas>(this)) {
  SetBounds(0, 0, 105, 105);
}

TPaintBox::~TPaintBox() = default;

void TPaintBox::PeerPaint(QPainter* APainter) {
  FCanvas->SetPaintPainter(APainter);
  Dispatch([this] { OnPaint(this); });
  FCanvas->SetPaintPainter(nullptr);
}
