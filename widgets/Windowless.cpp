// Windowless controls: drawn by their parent's widget, which also hands them
// the mouse input that lands on them.
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <algorithm>
#include <cstring>
#include <vector>

#include "widgets/Menu.h"
#include "widgets/Peer.h"

namespace {

// The windowless control a pressed button belongs to until it is released,
// and the one the pointer rests on.
TGraphicControl* gMouseCapture = nullptr;
TGraphicControl* gMouseInside = nullptr;

QRect ToQRect(const TRect& ARect) { return {ARect.Left, ARect.Top, ARect.Width(), ARect.Height()}; }

// The widget a windowless control is drawn on, or null.
QWidget* HandleOf(const TControl* AControl) {
  const TWinControl* handle = AControl != nullptr && AControl->Parent() != nullptr
                                  ? AControl->Parent()->HandleControl()
                                  : nullptr;
  return handle != nullptr ? handle->Peer() : nullptr;
}

bool OnPeer(const TGraphicControl* AControl, const QWidget* APeer) {
  return AControl != nullptr && HandleOf(AControl) == APeer;
}

// The pointer rests on AControl (null: on none), and the cursor shows what
// ACursorOf asks for.
void SetMouseInside(TGraphicControl* AControl, TPlainPeer* APeer, const TControl* ACursorOf) {
  if (AControl != gMouseInside) {
    if (gMouseInside != nullptr) {
      gMouseInside->Invalidate();
      QWidget* handle = HandleOf(gMouseInside);
      if (handle != nullptr && handle != APeer) {
        if (const TControl* owner = ControlOfPeer(handle)) SetPeerCursor(handle, owner->Cursor());
      }
    }
    gMouseInside = AControl;
    if (AControl != nullptr) AControl->Invalidate();
  }
  if (APeer != nullptr) SetPeerCursor(APeer, ACursorOf->Cursor());
}

}  // namespace

void PointerLeftWindowless(QWidget* AHandle) {
  if (gMouseInside == nullptr || AHandle == nullptr || HandleOf(gMouseInside) != AHandle) return;
  auto* peer = dynamic_cast<TPlainPeer*>(AHandle);
  if (peer != nullptr) SetMouseInside(nullptr, peer, peer->Control());
}

void SetPeerCursor(QWidget* APeer, TCursor ACursor) {
  switch (ACursor) {
    case crHSplit:
      APeer->setCursor(Qt::SplitHCursor);
      break;
    case crVSplit:
      APeer->setCursor(Qt::SplitVCursor);
      break;
    default:
      APeer->unsetCursor();
  }
}

// --- TGraphicControl ------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner, nullptr, false) {}

TGraphicControl::~TGraphicControl() {
  if (gMouseCapture == this) gMouseCapture = nullptr;
  if (gMouseInside == this) {
    gMouseInside = nullptr;
    if (QWidget* handle = HandleOf(this)) {
      if (const TControl* owner = ControlOfPeer(handle)) SetPeerCursor(handle, owner->Cursor());
    }
  }
  if (Parent() != nullptr) AccessibleChildRemoving(this);
  ForgetWindowlessAccessible(this);
  // What it covered shows its parent again once it is gone.
  if (FDrawn && FDrawnOn != nullptr) FDrawnOn->Peer()->update(ToQRect(FDrawnRect));
}

bool TGraphicControl::MouseInside() const { return gMouseInside == this; }

void TGraphicControl::MouseDown(QMouseEvent* AEvent, int X, int Y) {
  ForwardMousePress(this, AEvent, QPoint(X, Y));
}

// --- Windowless containers ----------------------------------------------------

QRegion TWinControl::VisibleFace(const QRect& AArea, const QRegion& APainted) const {
  QRegion visible =
      APainted.rectCount() <= 1 ? QRegion(APainted.boundingRect() & AArea) : APainted & AArea;
  const TPoint origin = ClientOrigin();
  for (int i = 0; i < ControlCount(); ++i) {
    const TControl* c = Controls(i);
    if (!c->IsWindowed() && c->Visible() && c->PaintsOpaque())
      visible -= QRect(origin.X + c->Left(), origin.Y + c->Top(), c->Width(), c->Height());
  }
  return visible;
}

void TWinControl::PaintFace(QPainter& APainter, const QRect& AArea, const QRegion& APainted,
                            const QWidget* /*AHandle*/) {
  FillRegion(APainter, VisibleFace(AArea, APainted), ToQColor(Color()), APainted);
}

// --- TPlainPeer -------------------------------------------------------------

QWidget* Nursery() {
  // Never shown and never deleted: it outlives every control.
  static QWidget* nursery = new QWidget;
  return nursery;
}

TPlainPeer::TPlainPeer(TWinControl* AControl, bool AWindow)
    : QWidget(AWindow ? nullptr : Nursery()), FControl(AControl) {
  InstallAccessibleFactory();
  // The pointer resting on a windowless child changes the cursor and how
  // the child looks.
  setMouseTracking(true);
  // A control fills its own area, so Qt need not paint what lies beneath
  // it (a window fills its background itself).
  if (!AWindow) setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPlainPeer::PaintFace(QPainter& APainter, QPaintEvent* AEvent) {
  FillFace(APainter, VisibleFace(AEvent->region()), AEvent->region());
}

QRegion TPlainPeer::VisibleFace(const QRegion& ARegion) const {
  return FControl->VisibleFace(rect(), ARegion);
}

void TPlainPeer::FillFace(QPainter& APainter, const QRegion& AFill, const QRegion& APainted) const {
  FillRegion(APainter, AFill, ToQColor(FControl->Color()), APainted);
}

namespace {
// The image APainter's pixels go straight into and the shift to them, or
// null where anything else lies between: a transform beyond a shift, a clip
// of the painter's own, opacity, another composition or pixel format. A
// window's painter keeps its repaint's region as the system's clip, which
// every caller stays within.
QImage* DirectImage(const QPainter& APainter, QPoint* AShift) {
  QPaintEngine* engine = APainter.paintEngine();
  QPaintDevice* device = engine != nullptr ? engine->paintDevice() : nullptr;
  if (device == nullptr || device->devType() != QInternal::Image || APainter.hasClipping() ||
      APainter.opacity() != 1 || APainter.compositionMode() != QPainter::CompositionMode_SourceOver)
    return nullptr;
  const QTransform& transform = APainter.deviceTransform();
  if (transform.type() > QTransform::TxTranslate) return nullptr;
  auto* image = static_cast<QImage*>(device);
  const QImage::Format format = image->format();
  if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
       format != QImage::Format_ARGB32_Premultiplied) ||
      image->devicePixelRatio() != 1)
    return nullptr;
  *AShift = QPoint(qRound(transform.dx()), qRound(transform.dy()));
  return image;
}
}  // namespace

TRegionBands::TRegionBands(const QRegion& ARegion) {
  const QRect* end = ARegion.end();
  for (const QRect* r = ARegion.begin(); r != end;) {
    const QRect* next = r;
    while (next != end && next->top() == r->top()) ++next;
    FBands.push_back({r->top(), r->bottom(), r, next});
    r = next;
  }
}

QRegion TRegionBands::Within(const QRect& ARect) const {
  if (ARect.isEmpty()) return {};
  std::vector<QRect> parts;
  auto band = std::lower_bound(FBands.begin(), FBands.end(), ARect.top(),
                               [](const TBand& b, int y) { return b.Bottom < y; });
  size_t above = 0, aboveCount = 0;  // the parts of the last band kept
  for (; band != FBands.end() && band->Top <= ARect.bottom(); ++band) {
    const QRect* r = std::lower_bound(band->First, band->Last, ARect.left(),
                                      [](const QRect& p, int x) { return p.right() < x; });
    const size_t start = parts.size();
    for (; r != band->Last && r->left() <= ARect.right(); ++r) parts.push_back(*r & ARect);
    const size_t count = parts.size() - start;
    if (count == 0) continue;
    // A band going on from the one above with the same spans joins it, as
    // the region itself would keep them.
    bool same = count == aboveCount && parts[above].bottom() + 1 == parts[start].top();
    for (size_t i = 0; same && i < count; ++i)
      same = parts[above + i].left() == parts[start + i].left() &&
             parts[above + i].right() == parts[start + i].right();
    if (same) {
      for (size_t i = 0; i < count; ++i) parts[above + i].setBottom(parts[start + i].bottom());
      parts.resize(start);
      continue;
    }
    above = start;
    aboveCount = count;
  }
  QRegion result;
  result.setRects(parts.data(), static_cast<int>(parts.size()));
  return result;
}

int DirectFormat(const QPainter& APainter) {
  QPoint shift;
  const QImage* image = DirectImage(APainter, &shift);
  return image != nullptr ? image->format() : QImage::Format_Invalid;
}

void FillOpaque(QPainter& APainter, const QRect& ARect, const QColor& AColor) {
  if (ARect.isEmpty()) return;
  QPoint shift;
  QImage* image = AColor.alpha() == 255 ? DirectImage(APainter, &shift) : nullptr;
  if (image == nullptr) {
    APainter.fillRect(ARect, AColor);
    return;
  }
  const QRect target = ARect.translated(shift) & image->rect();
  if (target.isEmpty()) return;
  const QRgb pixel = AColor.rgba();
  const qsizetype stride = image->bytesPerLine();
  uchar* row = image->bits() + target.y() * stride + target.x() * qsizetype(sizeof(QRgb));
  for (int y = 0; y < target.height(); ++y, row += stride)
    std::fill_n(reinterpret_cast<QRgb*>(row), target.width(), pixel);
}

void DrawOpaque(QPainter& APainter, QPoint AAt, const QImage& AImage) {
  QPoint shift;
  QImage* image = DirectImage(APainter, &shift);
  if (image == nullptr || image->format() != AImage.format()) {
    APainter.drawImage(AAt, AImage);
    return;
  }
  const QRect target = QRect(AAt + shift, AImage.size()) & image->rect();
  if (target.isEmpty()) return;
  const QPoint from = target.topLeft() - (AAt + shift);
  const qsizetype stride = image->bytesPerLine();
  const auto bytes = static_cast<size_t>(target.width()) * sizeof(QRgb);
  uchar* row = image->bits() + target.y() * stride + target.x() * qsizetype(sizeof(QRgb));
  for (int y = 0; y < target.height(); ++y, row += stride)
    std::memcpy(row, AImage.constScanLine(from.y() + y) + from.x() * qsizetype(sizeof(QRgb)),
                bytes);
}

void FillRegion(QPainter& APainter, const QRegion& ARegion, const QColor& AColor,
                const QRegion& APainted) {
  // Straight into the pixels, every part of ARegion lying within the
  // repaint, when that is how this painter can be drawn on.
  if (APainted.rectCount() <= 1 || DirectFormat(APainter) != QImage::Format_Invalid) {
    for (const QRect& part : ARegion) FillOpaque(APainter, part, AColor);
    return;
  }
  // What the repaint reaches is not a plain rectangle here (a pane's halves
  // are cut out of it); a fill clipped to such a region is drawn a line at a
  // time, one clipped to a single rectangle of it in one go.
  for (const QRect& part : ARegion) {
    APainter.setClipRect(part);
    APainter.fillRect(part, AColor);
  }
  APainter.setClipping(false);
}

TControl* TPlainPeer::WindowlessAt(QPoint APos, QPoint* ALocal) const {
  // Down through the windowless containers the point lies in, topmost
  // first at each level; what a container cuts off is not there.
  TControl* found = nullptr;
  const TWinControl* within = FControl;
  TPoint origin = FControl->ClientOrigin();
  QRect clip = rect();
  while (within != nullptr) {
    const TWinControl* next = nullptr;
    for (int i = within->ControlCount() - 1; i >= 0; --i) {
      TControl* c = within->Controls(i);
      if (c->IsWindowed() || !c->Visible()) continue;
      const QRect area(origin.X + c->Left(), origin.Y + c->Top(), c->Width(), c->Height());
      if (!(area & clip).contains(APos)) continue;
      found = c;
      if (ALocal != nullptr) *ALocal = APos - area.topLeft();
      if (c->HoldsControls()) {
        next = static_cast<const TWinControl*>(c);
        origin = {area.x(), area.y() + next->PeerClientTop()};
        clip &= area;
      }
      break;
    }
    within = next;
  }
  return found;
}

TGraphicControl* TPlainPeer::GraphicAt(QPoint APos) const {
  TControl* found = WindowlessAt(APos);
  return found != nullptr && !found->HoldsControls() ? static_cast<TGraphicControl*>(found)
                                                     : nullptr;
}

void TPlainPeer::paintEvent(QPaintEvent* AEvent) {
  TPaintScope scope;
  QPainter painter(this);
  PaintFace(painter, AEvent);
  // Windowless children in z-order, each container's face below its own
  // children, and nothing of a child outside the containers it lies in;
  // walked without recursion, as panes nest thousands deep.
  const QRegion& region = AEvent->region();
  const bool plain = region.rectCount() <= 1;
  const QRect bounds = region.boundingRect();
  // Where the repaint is not one rectangle (the windows of editors and grids
  // are cut out of it), each control is given only its own part of it.
  const TRegionBands bands(region);
  struct TLevel {
    const TWinControl* Control;
    int Next;
    QPoint Origin;
    QRect Clip;
  };
  static std::vector<TLevel> levels;
  const size_t base = levels.size();  // a paint may run inside another's
  const TPoint origin = FControl->ClientOrigin();
  levels.push_back({FControl, 0, QPoint(origin.X, origin.Y), rect()});
  while (levels.size() > base) {
    TLevel& level = levels.back();
    if (level.Next >= level.Control->ControlCount()) {
      levels.pop_back();
      continue;
    }
    TControl* c = level.Control->Controls(level.Next++);
    if (c->IsWindowed() || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
    const QRect area(level.Origin + QPoint(c->Left(), c->Top()), QSize(c->Width(), c->Height()));
    const QRect visible = area & level.Clip;
    QRegion local;
    if (plain ? !bounds.intersects(visible) : (local = bands.Within(visible)).isEmpty()) continue;
    const bool cut = visible != area;
    if (c->HoldsControls()) {
      auto* container = static_cast<TWinControl*>(c);
      if (!plain)
        container->PaintFace(painter, area, local, this);
      else if (cut)
        container->PaintFace(painter, area, QRegion(bounds & visible), this);
      else
        container->PaintFace(painter, area, region, this);
      const QPoint inside = area.topLeft() + QPoint(0, container->PeerClientTop());
      levels.push_back({container, 0, inside, visible});
      continue;
    }
    // Clipped to what shows of it where that is not all of it, which also
    // lets it be drawn in one go (see FillRegion).
    const bool whole = local.rectCount() == 1 && local.boundingRect() == visible;
    const bool clip = cut || (!plain && !whole);
    if (clip) painter.setClipRect(visible);
    painter.translate(area.topLeft());
    static_cast<TGraphicControl*>(c)->Paint(&painter);
    painter.translate(-area.topLeft());
    if (clip) painter.setClipping(false);
  }
  levels.resize(base);
}

void TPlainPeer::mousePressEvent(QMouseEvent* AEvent) {
  Press(AEvent, &TGraphicControl::MouseDown);
}

void TPlainPeer::Press(QMouseEvent* AEvent,
                       void (TGraphicControl::*AHandler)(QMouseEvent*, int, int)) {
  // The first button of a new press: whatever held the pointer before has
  // let go, even if its release never came here (a carry keeps it).
  if (AEvent->buttons() == AEvent->button()) gMouseCapture = nullptr;
  QPoint local;
  TControl* target = WindowlessAt(AEvent->position().toPoint(), &local);
  if (target != nullptr && !target->HoldsControls()) {
    // Qt sends the moves and the release to this widget; they go on to the
    // control the press was for.
    auto* graphic = static_cast<TGraphicControl*>(target);
    gMouseCapture = graphic;
    (graphic->*AHandler)(AEvent, local.x(), local.y());
    return;
  }
  // A double-click counts as a press, the way it always did on a plain widget.
  if (target != nullptr)
    ForwardMousePress(target, AEvent, local);
  else
    ForwardMousePress(FControl, AEvent);
}

void TPlainPeer::mouseMoveEvent(QMouseEvent* AEvent) {
  if (AEvent->buttons() != Qt::NoButton && OnPeer(gMouseCapture, this)) {
    gMouseCapture->MouseMove(AEvent);
    return;
  }
  if (AEvent->buttons() == Qt::NoButton) Hover(AEvent->position().toPoint());
}

void TPlainPeer::Hover(QPoint APos) {
  TControl* target = WindowlessAt(APos);
  const TControl* cursorOf = target != nullptr ? target : FControl;
  SetMouseInside(target != nullptr && !target->HoldsControls()
                     ? static_cast<TGraphicControl*>(target)
                     : nullptr,
                 this, cursorOf);
}

void TPlainPeer::mouseReleaseEvent(QMouseEvent* AEvent) {
  TGraphicControl* target = OnPeer(gMouseCapture, this) ? gMouseCapture : nullptr;
  if (AEvent->buttons() == Qt::NoButton) gMouseCapture = nullptr;
  if (target != nullptr) target->MouseUp(AEvent);
}

void TPlainPeer::mouseDoubleClickEvent(QMouseEvent* AEvent) {
  Press(AEvent, &TGraphicControl::DblClick);
}

void TPlainPeer::enterEvent(QEnterEvent* AEvent) { Hover(AEvent->position().toPoint()); }

void TPlainPeer::leaveEvent(QEvent* /*AEvent*/) {
  if (OnPeer(gMouseInside, this)) SetMouseInside(nullptr, this, FControl);
}

QVariant TPlainPeer::inputMethodQuery(Qt::InputMethodQuery AQuery) const {
  // Where the keys are: the middle of the windowless container that holds
  // them, as a widget of its own would say.
  TWinControl* focus = WindowlessFocus();
  if (AQuery == Qt::ImCursorRectangle && focus != nullptr && HandleOf(focus) == this) {
    const TRect r = focus->HandleRect();
    return QRect(r.Left + r.Width() / 2, r.Top, 1, r.Height());
  }
  return QWidget::inputMethodQuery(AQuery);
}

bool TPlainPeer::event(QEvent* AEvent) {
  // A control's own menu; else the event travels on to the control it lies
  // in, whose menu it shares. Within windowless containers, the innermost
  // one with a menu of its own under the pointer, or holding the keys.
  if (AEvent->type() == QEvent::ContextMenu) {
    auto* context = static_cast<QContextMenuEvent*>(AEvent);
    const TControl* inner = nullptr;
    if (context->reason() == QContextMenuEvent::Mouse)
      inner = WindowlessAt(context->pos());
    else if (TWinControl* focus = WindowlessFocus(); focus != nullptr && HandleOf(focus) == this)
      inner = focus;
    TPopupMenu* menu = nullptr;
    for (const TControl* c = inner; c != nullptr && c != FControl && menu == nullptr;
         c = c->Parent())
      menu = c->PopupMenu();
    if (menu == nullptr) menu = FControl->PopupMenu();
    if (menu != nullptr) {
      const QPoint at = context->globalPos();
      Dispatch([&] { menu->Popup(at.x(), at.y()); });
      return true;
    }
  }
  if (AEvent->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(AEvent);
    const TControl* hinted = WindowlessAt(help->pos());
    while (hinted != nullptr && hinted != FControl && hinted->Hint().empty())
      hinted = hinted->Parent();
    if (hinted != nullptr && hinted != FControl) {
      QToolTip::showText(help->globalPos(), QString::fromStdString(hinted->Hint()), this,
                         ToQRect(hinted->HandleRect()));
      return true;
    }
  }
  return QWidget::event(AEvent);
}
