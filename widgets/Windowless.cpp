// Windowless controls: drawn by their parent's widget, which also hands them
// the mouse input that lands on them.
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>

#include "widgets/Menu.h"
#include "widgets/Peer.h"

namespace {

// The windowless control a pressed button belongs to until it is released,
// and the one the pointer rests on.
TGraphicControl* gMouseCapture = nullptr;
TGraphicControl* gMouseInside = nullptr;

QRect ToQRect(const TRect& ARect) { return {ARect.Left, ARect.Top, ARect.Width(), ARect.Height()}; }

bool OnPeer(const TGraphicControl* AControl, const QWidget* APeer) {
  return AControl != nullptr && AControl->Parent() != nullptr &&
         AControl->Parent()->Peer() == APeer;
}

void SetMouseInside(TGraphicControl* AControl, TPlainPeer* APeer) {
  if (AControl == gMouseInside) return;
  if (gMouseInside != nullptr) {
    gMouseInside->Invalidate();
    TWinControl* parent = gMouseInside->Parent();
    if (parent != nullptr && parent->Peer() != APeer)
      SetPeerCursor(parent->Peer(), parent->Cursor());
  }
  gMouseInside = AControl;
  if (AControl != nullptr) AControl->Invalidate();
  if (APeer != nullptr)
    SetPeerCursor(APeer, AControl != nullptr ? AControl->Cursor() : APeer->Control()->Cursor());
}

}  // namespace

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
    if (Parent() != nullptr) SetPeerCursor(Parent()->Peer(), Parent()->Cursor());
  }
  if (Parent() != nullptr) AccessibleChildRemoving(this);
  ForgetWindowlessAccessible(this);
  // What it covered shows its parent again once it is gone.
  if (FDrawn && Parent() != nullptr) Parent()->Peer()->update(ToQRect(FDrawnRect));
}

bool TGraphicControl::MouseInside() const { return gMouseInside == this; }

void TGraphicControl::MouseDown(QMouseEvent* AEvent, int X, int Y) {
  ForwardMousePress(this, AEvent, QPoint(X, Y));
}

void TGraphicControl::PushPeerState() { InvalidateOnParent(); }

bool TGraphicControl::PeerOutOfDate() const {
  const bool shown = Visible() && Parent() != nullptr;
  return shown != FDrawn || (shown && !(FDrawnRect == HandleRect()));
}

void TGraphicControl::UpdatePeerVisibility() { InvalidateOnParent(); }

void TGraphicControl::InvalidateOnParent() {
  QWidget* handle = Parent() != nullptr ? Parent()->Peer() : nullptr;
  if (handle == nullptr) {
    FDrawn = false;
    return;
  }
  const TRect now = HandleRect();
  const bool shown = Visible();
  if (FDrawn && shown && FDrawnRect == now) return;
  // A parent just resized is repainted whole anyway; asking again for each
  // child would have Qt work out every child's area one by one.
  if (!PeerResizedBySync(Parent())) {
    if (FDrawn) handle->update(ToQRect(FDrawnRect));
    if (shown) handle->update(ToQRect(now));
  }
  FDrawn = shown;
  FDrawnRect = now;
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
  QRegion visible = ARegion;
  for (int i = 0; i < FControl->ControlCount(); ++i) {
    TControl* c = FControl->Controls(i);
    if (!c->IsWindowed() && c->Visible() && static_cast<TGraphicControl*>(c)->PaintsOpaque())
      visible -= ToQRect(c->HandleRect());
  }
  return visible;
}

void TPlainPeer::FillFace(QPainter& APainter, const QRegion& AFill, const QRegion& APainted) const {
  FillRegion(APainter, AFill, ToQColor(FControl->Color()), APainted);
}

void FillRegion(QPainter& APainter, const QRegion& ARegion, const QColor& AColor,
                const QRegion& APainted) {
  if (APainted.rectCount() <= 1) {
    for (const QRect& part : ARegion) APainter.fillRect(part, AColor);
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

TGraphicControl* TPlainPeer::WindowlessAt(QPoint APos) const {
  for (int i = FControl->ControlCount() - 1; i >= 0; --i) {
    TControl* c = FControl->Controls(i);
    if (c->IsWindowed() || !c->Visible()) continue;
    const TRect r = c->HandleRect();
    if (APos.x() >= r.Left && APos.x() < r.Right && APos.y() >= r.Top && APos.y() < r.Bottom)
      return static_cast<TGraphicControl*>(c);
  }
  return nullptr;
}

void TPlainPeer::paintEvent(QPaintEvent* AEvent) {
  TPaintScope scope;
  QPainter painter(this);
  PaintFace(painter, AEvent);
  // Windowless children in z-order.
  const QRegion& region = AEvent->region();
  for (int i = 0; i < FControl->ControlCount(); ++i) {
    TControl* c = FControl->Controls(i);
    if (c->IsWindowed() || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
    const QRect area = ToQRect(c->HandleRect());
    if (!region.intersects(area)) continue;
    // Clipped to its area, which also lets it be drawn in one go (see
    // FillRegion).
    if (region.rectCount() > 1) painter.setClipRect(area);
    painter.translate(area.topLeft());
    static_cast<TGraphicControl*>(c)->Paint(&painter);
    painter.translate(-area.topLeft());
  }
}

void TPlainPeer::mousePressEvent(QMouseEvent* AEvent) {
  Press(AEvent, &TGraphicControl::MouseDown);
}

void TPlainPeer::Press(QMouseEvent* AEvent,
                       void (TGraphicControl::*AHandler)(QMouseEvent*, int, int)) {
  // The first button of a new press: whatever held the pointer before has
  // let go, even if its release never came here (a carry keeps it).
  if (AEvent->buttons() == AEvent->button()) gMouseCapture = nullptr;
  const QPoint pos = AEvent->position().toPoint();
  if (TGraphicControl* target = WindowlessAt(pos)) {
    // Qt sends the moves and the release to this widget; they go on to the
    // control the press was for.
    gMouseCapture = target;
    const TRect area = target->HandleRect();
    (target->*AHandler)(AEvent, pos.x() - area.Left, pos.y() - area.Top);
    return;
  }
  // A double-click counts as a press, the way it always did on a plain widget.
  ForwardMousePress(FControl, AEvent);
}

void TPlainPeer::mouseMoveEvent(QMouseEvent* AEvent) {
  if (AEvent->buttons() != Qt::NoButton && OnPeer(gMouseCapture, this)) {
    gMouseCapture->MouseMove(AEvent);
    return;
  }
  if (AEvent->buttons() == Qt::NoButton)
    SetMouseInside(WindowlessAt(AEvent->position().toPoint()), this);
}

void TPlainPeer::mouseReleaseEvent(QMouseEvent* AEvent) {
  TGraphicControl* target = OnPeer(gMouseCapture, this) ? gMouseCapture : nullptr;
  if (AEvent->buttons() == Qt::NoButton) gMouseCapture = nullptr;
  if (target != nullptr) target->MouseUp(AEvent);
}

void TPlainPeer::mouseDoubleClickEvent(QMouseEvent* AEvent) {
  Press(AEvent, &TGraphicControl::DblClick);
}

void TPlainPeer::enterEvent(QEnterEvent* AEvent) {
  SetMouseInside(WindowlessAt(AEvent->position().toPoint()), this);
}

void TPlainPeer::leaveEvent(QEvent* /*AEvent*/) {
  if (OnPeer(gMouseInside, this)) SetMouseInside(nullptr, this);
}

bool TPlainPeer::event(QEvent* AEvent) {
  // A control's own menu; else the event travels on to the control it lies
  // in, whose menu it shares.
  if (AEvent->type() == QEvent::ContextMenu) {
    if (TPopupMenu* menu = FControl->PopupMenu()) {
      const QPoint at = static_cast<QContextMenuEvent*>(AEvent)->globalPos();
      Dispatch([&] { menu->Popup(at.x(), at.y()); });
      return true;
    }
  }
  if (AEvent->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(AEvent);
    if (TGraphicControl* target = WindowlessAt(help->pos());
        target != nullptr && !target->Hint().empty()) {
      QToolTip::showText(help->globalPos(), QString::fromStdString(target->Hint()), this,
                         ToQRect(target->HandleRect()));
      return true;
    }
  }
  return QWidget::event(AEvent);
}
