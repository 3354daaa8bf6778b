#include "widgets/Panel.h"

#include <QFontMetrics>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QStaticText>
#include <unordered_map>
#include <vector>

#include "widgets/Peer.h"

struct TPanelCaption {
  QStaticText Text;
  QSize Size;
  QFont Font;
  QString Caption;
  // The caption drawn on a plain face, ready to copy: thousands of panes
  // show the same few captions, and copying pixels is far quicker than
  // drawing text. One for each kind of target, colours and half-pixel
  // offset met so far.
  struct TRendered {
    QImage::Format Format;
    QRgb Face, Ink;
    QPoint Half;  // the caption's offset in half pixels (0 or 1 each way)
    QImage Image;
  };
  mutable std::vector<TRendered> Rendered;
  const QImage& RenderedOn(QImage::Format AFormat, const QColor& AFace, const QColor& AInk,
                           QPointF AOffset, QSize ASize) const;
  // A whole panel of ASize with this caption, bevel and face: the panes of a
  // window mostly come in a few sizes. Small ones only, a few megabytes at
  // most: large panes are few, and quick to draw anyway.
  static constexpr int MostPanelPixels = 128 * 128;
  mutable std::unordered_map<quint64, TRendered> Panels;
  mutable qsizetype PanelBytes = 0;
  const QImage& PanelOf(QImage::Format AFormat, const QColor& AFace, const QColor& AInk,
                        QSize ASize) const;
};

const QImage& TPanelCaption::RenderedOn(QImage::Format AFormat, const QColor& AFace,
                                        const QColor& AInk, QPointF AOffset, QSize ASize) const {
  const QPoint half(qRound(AOffset.x() * 2), qRound(AOffset.y() * 2));
  for (const TRendered& r : Rendered)
    if (r.Format == AFormat && r.Face == AFace.rgba() && r.Ink == AInk.rgba() && r.Half == half &&
        r.Image.size() == ASize)
      return r.Image;
  if (Rendered.size() >= 8) Rendered.clear();
  QImage image(ASize, AFormat);
  image.fill(AFace);
  {
    QPainter painter(&image);
    painter.setFont(Font);
    painter.setPen(AInk);
    painter.drawStaticText(AOffset, Text);
  }
  Rendered.push_back({AFormat, AFace.rgba(), AInk.rgba(), half, std::move(image)});
  return Rendered.back().Image;
}

namespace {
void PaintPanel(QPainter& APainter, const QRect& AArea, const QRegion& APainted,
                const QRegion& AVisible, const QRegion& AShows, const QColor& AFace,
                const TPanelCaption& ACaption, const QColor& AText);
}  // namespace

const QImage& TPanelCaption::PanelOf(QImage::Format AFormat, const QColor& AFace,
                                     const QColor& AInk, QSize ASize) const {
  const quint64 key = quint64(ASize.width()) << 48 | quint64(ASize.height()) << 32 |
                      quint64(AFormat) << 24 | (AFace.rgba() ^ AInk.rgba()) >> 8;
  if (auto found = Panels.find(key); found != Panels.end()) {
    const TRendered& r = found->second;
    if (r.Format == AFormat && r.Face == AFace.rgba() && r.Ink == AInk.rgba() &&
        r.Image.size() == ASize)
      return r.Image;
    PanelBytes -= r.Image.sizeInBytes();
    Panels.erase(found);
  }
  if (PanelBytes > 4 * 1024 * 1024) {
    Panels.clear();
    PanelBytes = 0;
  }
  QImage image(ASize, AFormat);
  {
    QPainter painter(&image);
    painter.setFont(Font);
    const QRect area(QPoint(), ASize);
    PaintPanel(painter, area, QRegion(area), QRegion(area.adjusted(1, 1, -1, -1)), QRegion(area),
               AFace, *this, AInk);
  }
  PanelBytes += image.sizeInBytes();
  TRendered& made = Panels[key];
  made = {AFormat, AFace.rgba(), AInk.rgba(), QPoint(), std::move(image)};
  return made.Image;
}

namespace {
// Panes mostly share a handful of captions: each is laid out once per font
// and the layout is shared by every panel that shows it.
std::shared_ptr<const TPanelCaption> LaidOutCaption(const QString& AText, const QFont& AFont) {
  static std::unordered_map<QString, std::shared_ptr<const TPanelCaption>> cache;
  const QString key = AFont.key() + QChar(0x1f) + AText;
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  if (cache.size() >= 256) cache.clear();  // panels keep what they hold
  auto caption = std::make_shared<TPanelCaption>(
      TPanelCaption{QStaticText(AText),
                    QFontMetrics(AFont).size(Qt::TextSingleLine, AText),
                    AFont,
                    AText,
                    {},
                    {},
                    0});
  caption->Text.setTextFormat(Qt::PlainText);
  caption->Text.prepare(QTransform(), AFont);
  return cache.emplace(key, std::move(caption)).first->second;
}

// Where a caption centred in AArea lies.
QRect CaptionRect(const QRect& AArea, const TPanelCaption& ACaption) {
  const QSize size = ACaption.Size;
  return QRectF(QPointF(AArea.x() + (AArea.width() - size.width()) / 2.0,
                        AArea.y() + (AArea.height() - size.height()) / 2.0),
                size)
      .toAlignedRect();
}

// A panel's face in AArea: its colour where AVisible says (within the
// bevel), the raised bevel (light on the top and left edges, shadow on the
// others) and the caption, centred as a single line, over the bevel too but
// not drawn where nothing of it would show (AShows: what the repaint reaches
// that no child paints over).
void PaintPanel(QPainter& APainter, const QRect& AArea, const QRegion& APainted,
                const QRegion& AVisible, const QRegion& AShows, const QColor& AFace,
                const TPanelCaption& ACaption, const QColor& AText) {
  if (AVisible.rectCount() == 1)
    FillOpaque(APainter, AVisible.boundingRect() & AArea.adjusted(1, 1, -1, -1), AFace);
  else if (!AVisible.isEmpty())
    FillRegion(APainter, AVisible & AArea.adjusted(1, 1, -1, -1), AFace, APainted);
  const QColor light = ToQColor(clBtnHighlight), shadow = ToQColor(clBtnShadow);
  const int x = AArea.x(), y = AArea.y(), w = AArea.width(), h = AArea.height();
  const QRect painted = APainted.boundingRect();
  if (APainted.rectCount() <= 1) {
    FillOpaque(APainter, QRect(x, y, w, 1) & painted, light);
    FillOpaque(APainter, QRect(x, y, 1, h) & painted, light);
    FillOpaque(APainter, QRect(x, y + h - 1, w, 1) & painted, shadow);
    FillOpaque(APainter, QRect(x + w - 1, y, 1, h) & painted, shadow);
  } else {
    FillRegion(APainter, APainted & QRect(x, y, w - 1, 1), light, APainted);
    FillRegion(APainter, APainted & QRect(x, y + 1, 1, h - 2), light, APainted);
    FillRegion(APainter, APainted & QRect(x, y + h - 1, w, 1), shadow, APainted);
    FillRegion(APainter, APainted & QRect(x + w - 1, y, 1, h - 1), shadow, APainted);
  }
  if (ACaption.Caption.isEmpty()) return;
  const QSize size = ACaption.Size;
  const QPointF at(x + (w - size.width()) / 2.0, y + (h - size.height()) / 2.0);
  const QRect text = QRectF(at, size).toAlignedRect();
  if (!AShows.intersects(text)) return;
  // On a plain face that shows all round it, on an image at its own scale:
  // the same pixels copied.
  const QRect ink = text.adjusted(-2, -2, 2, 2);
  // (a widget's painter paints on its window's backing store)
  QPaintDevice* device =
      APainter.paintEngine() != nullptr ? APainter.paintEngine()->paintDevice() : nullptr;
  if (AVisible.rectCount() == 1 && AVisible.boundingRect().contains(ink) &&
      AArea.adjusted(1, 1, -1, -1).contains(ink) && device != nullptr &&
      device->devType() == QInternal::Image && device->devicePixelRatio() == 1 &&
      APainter.transform().type() <= QTransform::TxTranslate && !APainter.hasClipping()) {
    const QPointF offset = at - QPointF(ink.topLeft());
    APainter.drawImage(ink.topLeft(), ACaption.RenderedOn(static_cast<QImage*>(device)->format(),
                                                          AFace, AText, offset, ink.size()));
    return;
  }
  APainter.setPen(AText);
  // A caption wider or taller than its panel is cut off at its edges.
  const QRect room = AArea & painted;
  const bool cut = !room.contains(text);
  if (cut) APainter.setClipRect(room);
  APainter.drawStaticText(at, ACaption.Text);
  if (cut) APainter.setClipping(false);
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
    if (!FCaption) FCaption = LaidOutCaption(QString::fromStdString(FControl->Text()), font());
    const QRegion visible = VisibleFace(region);
    PaintPanel(APainter, r, region, visible, visible, ToQColor(FControl->Color()), *FCaption,
               palette().color(QPalette::WindowText));
  }
  void changeEvent(QEvent* AEvent) override {
    if (AEvent->type() == QEvent::FontChange) FCaption.reset();
    TPlainPeer::changeEvent(AEvent);
  }

 private:
  std::shared_ptr<const TPanelCaption> FCaption;
};
}  // namespace

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner, new TPanelPeer(this)) {
  SetBounds(0, 0, 185, 41);
}

TPanel::TPanel(TComponent* AOwner, TWindowless) : TWinControl(AOwner, TWindowless{}) {
  SetBounds(0, 0, 185, 41);
}

TPanel::~TPanel() = default;

TRect TPanel::ClientRect() const {
  const int bevel = BevelWidth();
  return {bevel, bevel, Width() - bevel, Height() - bevel};
}

namespace {
// The part of AInner that windowless children painting opaquely cover, as
// a share of its area: 0 none of it, 2 all of it, 1 some; for a repaint of
// one rectangle, without the cost of a region.
int CoveredByChildren(const TWinControl* APanel, const QRect& AInner) {
  constexpr int Most = 4;
  QRect cover[Most];
  int count = 0;
  const TPoint origin = APanel->ClientOrigin();
  qint64 covered = 0;
  for (int i = 0; i < APanel->ControlCount(); ++i) {
    const TControl* c = APanel->Controls(i);
    if (c->IsWindowed() || !c->Visible() || !c->PaintsOpaque()) continue;
    const QRect r =
        QRect(origin.X + c->Left(), origin.Y + c->Top(), c->Width(), c->Height()) & AInner;
    if (r.isEmpty()) continue;
    if (count == Most) return 1;  // more than a split pane has: not worked out here
    for (int j = 0; j < count; ++j)
      if (cover[j].intersects(r)) return 1;
    cover[count++] = r;
    covered += qint64(r.width()) * r.height();
  }
  if (count == 0) return 0;
  return covered == qint64(AInner.width()) * AInner.height() ? 2 : 1;
}
}  // namespace

void TPanel::PaintFace(QPainter& APainter, const QRect& AArea, const QRegion& APainted,
                       const QWidget* AHandle) {
  // The handle's font and colours, as a widget of its own would inherit.
  const QFont& font = AHandle->font();
  if (FCaption == nullptr || !FCaption->Font.isCopyOf(font))
    FCaption = LaidOutCaption(QString::fromStdString(Text()), font);
  const QColor text = AHandle->palette().color(QPalette::WindowText);
  if (APainted.rectCount() <= 1) {
    // A leaf's face shows whole, a split pane's not at all: no region is
    // needed for either.
    const QRect inner = AArea.adjusted(1, 1, -1, -1) & APainted.boundingRect();
    switch (inner.isEmpty() ? 2 : CoveredByChildren(this, inner)) {
      case 0:
        // Repainted whole: a copy of a panel of its size drawn before.
        if (const int format = DirectFormat(APainter);
            format != QImage::Format_Invalid && APainted.boundingRect().contains(AArea) &&
            AArea.width() * AArea.height() <= TPanelCaption::MostPanelPixels) {
          DrawOpaque(APainter, AArea.topLeft(),
                     FCaption->PanelOf(static_cast<QImage::Format>(format), ToQColor(Color()), text,
                                       AArea.size()));
          return;
        }
        PaintPanel(APainter, AArea, APainted, QRegion(inner),
                   QRegion(AArea & APainted.boundingRect()), ToQColor(Color()), *FCaption, text);
        return;
      case 2: {
        // Its children cover all inside the bevel; a caption wider or
        // taller than that still shows on the bevel.
        const QRect inside = AArea.adjusted(1, 1, -1, -1);
        const QRegion shows =
            FCaption->Caption.isEmpty() || inside.contains(CaptionRect(AArea, *FCaption))
                ? QRegion()
                : QRegion(AArea & APainted.boundingRect()) - QRegion(inside);
        PaintPanel(APainter, AArea, APainted, QRegion(), shows, ToQColor(Color()), *FCaption, text);
        return;
      }
      default:
        break;
    }
  }
  const QRegion visible = VisibleFace(AArea, APainted);
  PaintPanel(APainter, AArea, APainted, visible, visible, ToQColor(Color()), *FCaption, text);
}

void TPanel::TextChanged() {
  if (Peer() != nullptr) {
    static_cast<TPanelPeer*>(Peer())->CaptionChanged();
    return;
  }
  FCaption.reset();
  Invalidate();
}
