#include "widgets/Canvas.h"

#include <QBackingStore>
#include <QPainter>
#include <QRegion>
#include <QWindow>
#include <cstdlib>
#include <vector>

#include "widgets/Peer.h"

namespace {

struct TSpan {
  int X, Y, W, H;
};

// Pixels of a line from (X0, Y0) to (X1, Y1) without the end point, as spans.
std::vector<TSpan> LineSpans(int X0, int Y0, int X1, int Y1) {
  std::vector<TSpan> spans;
  if (X0 == X1 && Y0 == Y1) return spans;
  if (Y0 == Y1) {
    const int from = X0 < X1 ? X0 : X1 + 1;
    spans.push_back({from, Y0, std::abs(X1 - X0), 1});
    return spans;
  }
  if (X0 == X1) {
    const int from = Y0 < Y1 ? Y0 : Y1 + 1;
    spans.push_back({X0, from, 1, std::abs(Y1 - Y0)});
    return spans;
  }
  const int dx = std::abs(X1 - X0), sx = X0 < X1 ? 1 : -1;
  const int dy = -std::abs(Y1 - Y0), sy = Y0 < Y1 ? 1 : -1;
  int err = dx + dy;
  int x = X0, y = Y0;
  while (x != X1 || y != Y1) {
    spans.push_back({x, y, 1, 1});
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
  return spans;
}

// Paints the spans, cut to the control's own area (AWidth x AHeight).
void PaintSpans(QPainter& APainter, const std::vector<TSpan>& ASpans, const QColor& AColor,
                int AWidth, int AHeight) {
  const QRect area(0, 0, AWidth, AHeight);
  for (const TSpan& s : ASpans) {
    const QRect span = QRect(s.X, s.Y, s.W, s.H) & area;
    if (!span.isEmpty()) APainter.fillRect(span, AColor);
  }
}

// What of AWidget is on the screen, in its window's coordinates: its rect,
// clipped by every ancestor and minus every sibling stacked above it or above
// one of its ancestors.
QRegion ExposedRegion(QWidget* AWidget) {
  // The ancestors up to the window and where each lies in it, found in one
  // walk: asking Qt to map each one would walk the tree again every time.
  std::vector<QWidget*> chain;
  for (QWidget* w = AWidget; w != nullptr; w = w->isWindow() ? nullptr : w->parentWidget())
    chain.push_back(w);
  std::vector<QPoint> at(chain.size());
  for (size_t i = chain.size() - 1; i-- > 0;) at[i] = at[i + 1] + chain[i]->pos();
  QRegion region(QRect(at[0], AWidget->size()));
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    QWidget* w = chain[i];
    QWidget* parent = chain[i + 1];
    const QPoint origin = at[i + 1];
    region &= QRect(origin, parent->size());
    const QObjectList& siblings = parent->children();
    bool above = false;
    for (QObject* o : siblings) {
      if (o == w) {
        above = true;
        continue;
      }
      auto* sibling = qobject_cast<QWidget*>(o);
      if (!above || sibling == nullptr || !sibling->isVisible() || sibling->isWindow()) continue;
      region -= QRect(origin + sibling->pos(), sibling->size());
    }
  }
  return region;
}

bool gDirectPainting = false;

}  // namespace

void TCanvas::MoveTo(int X, int Y) {
  FPenX = X;
  FPenY = Y;
}

void TCanvas::LineTo(int X, int Y) {
  const std::vector<TSpan> spans = LineSpans(FPenX, FPenY, X, Y);
  FPenX = X;
  FPenY = Y;
  const QColor color = ToQColor(FPen.Color());
  if (FPainter != nullptr) {
    PaintSpans(*FPainter, spans, color, FControl->Width(), FControl->Height());
    return;
  }
  // Outside a paint event: paint into the window's backing store and flush.
  SyncPeers();
  QWidget* widget = FControl->Handle();
  if (gDirectPainting || InPaintEvent() || widget == nullptr || !widget->isVisible() ||
      !FControl->Visible())
    return;
  QWidget* window = widget->window();
  QBackingStore* store = widget->backingStore();
  // Not on the screen yet: its first paint draws what it needs.
  if (store == nullptr || window->windowHandle() == nullptr || !window->windowHandle()->isExposed())
    return;
  const TRect area = FControl->HandleRect();
  const QPoint origin = widget->mapTo(window, QPoint(area.Left, area.Top));
  QRegion region = ExposedRegion(widget) & QRect(origin, QSize(area.Width(), area.Height()));
  if (!FControl->IsWindowed()) {
    // A windowless control shows only within the windowless controls it
    // lies in.
    const TRect clip = FControl->Parent()->ChildClip();
    region &= QRect(widget->mapTo(window, QPoint(clip.Left, clip.Top)),
                    QSize(clip.Width(), clip.Height()));
    // It lies below every child window of its parent.
    for (QObject* o : widget->children()) {
      auto* child = qobject_cast<QWidget*>(o);
      if (child != nullptr && child->isVisible() && !child->isWindow())
        region -= QRect(child->mapTo(window, QPoint(0, 0)), child->size());
    }
  }
  if (region.isEmpty()) return;
  gDirectPainting = true;
  store->beginPaint(region);
  {
    QPainter painter(store->paintDevice());
    painter.setClipRegion(region);
    painter.translate(origin);
    PaintSpans(painter, spans, color, area.Width(), area.Height());
  }
  store->endPaint();
  store->flush(region, window->windowHandle());
  gDirectPainting = false;
}
