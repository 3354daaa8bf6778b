#include "widgets/Panel.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QStaticText>
#include <optional>
#include <unordered_map>

#include "widgets/Peer.h"

namespace {
struct TCaption {
  QStaticText Text;
  QSize Size;
};

// Panes mostly share a handful of captions: each is laid out once per font
// and the layout is shared by every panel that shows it.
TCaption LaidOutCaption(const QString& AText, const QFont& AFont) {
  static std::unordered_map<QString, TCaption> cache;
  const QString key = AFont.key() + QChar(0x1f) + AText;
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  if (cache.size() >= 256) cache.clear();  // panels keep what they hold
  TCaption caption{QStaticText(AText), QFontMetrics(AFont).size(Qt::TextSingleLine, AText)};
  caption.Text.setTextFormat(Qt::PlainText);
  caption.Text.prepare(QTransform(), AFont);
  return cache.emplace(key, caption).first->second;
}

class TPanelPeer : public TPlainPeer {
 public:
  explicit TPanelPeer(TWinControl* AControl) : TPlainPeer(AControl) {}
  // The caption is laid out again only when it or the font changes.
  void CaptionChanged() {
    FCaption.reset();
    update();
  }

 protected:
  void PaintFace(QPainter& APainter, QPaintEvent* AEvent) override {
    const QRect r = rect();
    if (r.isEmpty()) return;
    // The bevel covers the outer ring; the face is filled only inside it
    // and where the repaint reaches and no splitter paints over it. A split
    // pane thus fills nothing: its halves, bevel and splitter cover it all.
    const QRegion& region = AEvent->region();
    const QRegion visible = VisibleFace(region);
    FillFace(APainter, visible & r.adjusted(1, 1, -1, -1), region);
    // Raised bevel: light on the top and left edges, shadow on the others.
    const QColor light = ToQColor(clBtnHighlight), shadow = ToQColor(clBtnShadow);
    if (region.rectCount() <= 1) {
      APainter.fillRect(0, 0, r.width(), 1, light);
      APainter.fillRect(0, 0, 1, r.height(), light);
      APainter.fillRect(0, r.height() - 1, r.width(), 1, shadow);
      APainter.fillRect(r.width() - 1, 0, 1, r.height(), shadow);
    } else {
      FillRegion(APainter, region & QRect(0, 0, r.width() - 1, 1), light, region);
      FillRegion(APainter, region & QRect(0, 1, 1, r.height() - 2), light, region);
      FillRegion(APainter, region & QRect(0, r.height() - 1, r.width(), 1), shadow, region);
      FillRegion(APainter, region & QRect(r.width() - 1, 0, 1, r.height() - 1), shadow, region);
    }
    if (!FCaption) FCaption = LaidOutCaption(QString::fromStdString(FControl->Text()), font());
    if (FCaption->Text.text().isEmpty()) return;
    // Centred as a single line; not drawn where nothing of it would show.
    const QSize size = FCaption->Size;
    const QPointF at((r.width() - size.width()) / 2.0, (r.height() - size.height()) / 2.0);
    if (!visible.intersects(QRectF(at, size).toAlignedRect())) return;
    APainter.setPen(palette().color(QPalette::WindowText));
    APainter.drawStaticText(at, FCaption->Text);
  }
  void changeEvent(QEvent* AEvent) override {
    if (AEvent->type() == QEvent::FontChange) FCaption.reset();
    TPlainPeer::changeEvent(AEvent);
  }

 private:
  std::optional<TCaption> FCaption;
};
}  // namespace

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner, new TPanelPeer(this)) {
  SetBounds(0, 0, 185, 41);
}

TRect TPanel::ClientRect() const {
  const int bevel = BevelWidth();
  return {bevel, bevel, Width() - bevel, Height() - bevel};
}

void TPanel::TextChanged() { static_cast<TPanelPeer*>(Peer())->CaptionChanged(); }
