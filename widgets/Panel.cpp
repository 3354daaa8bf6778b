#include "widgets/Panel.h"

#include <QPainter>

#include "widgets/Peer.h"

namespace {
class TPanelPeer : public TPlainPeer {
 public:
  using TPlainPeer::TPlainPeer;

 protected:
  void paintEvent(QPaintEvent* /*AEvent*/) override {
    TPaintScope scope;
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, ToQColor(FControl->Color()));
    if (r.width() > 0 && r.height() > 0) {
      // Raised bevel: light on the top and left edges, shadow on the others.
      painter.fillRect(0, 0, r.width(), 1, ToQColor(clBtnHighlight));
      painter.fillRect(0, 0, 1, r.height(), ToQColor(clBtnHighlight));
      painter.fillRect(0, r.height() - 1, r.width(), 1, ToQColor(clBtnShadow));
      painter.fillRect(r.width() - 1, 0, 1, r.height(), ToQColor(clBtnShadow));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(r, Qt::AlignCenter, QString::fromStdString(FControl->Text()));
  }
};
}  // namespace

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner, new TPanelPeer(this)) {
  SetBounds(0, 0, 185, 41);
}

TRect TPanel::ClientRect() const {
  const int bevel = BevelWidth();
  return {bevel, bevel, Width() - bevel, Height() - bevel};
}

void TPanel::TextChanged() { Peer()->update(); }
