// Windowless controls: drawn by their parent's widget, which also hands them
// the mouse input that lands on them and tells assistive technology of them.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <QToolTip>
#include <unordered_map>
#include <vector>

#include "widgets/Peer.h"

namespace {

// The windowless control a pressed button belongs to until it is released,
// and the one the pointer rests on.
TGraphicControl* gMouseCapture = nullptr;
TGraphicControl* gMouseInside = nullptr;

QRect ToQRect(const TRect& ARect) { return {ARect.Left, ARect.Top, ARect.Width(), ARect.Height()}; }

bool OnPeer(const TGraphicControl* AControl, const QWidget* APeer) {
  return AControl != nullptr && AControl->Parent() != nullptr && AControl->Parent()->Peer() == APeer;
}

void SetMouseInside(TGraphicControl* AControl, TPlainPeer* APeer) {
  if (AControl == gMouseInside) return;
  if (gMouseInside != nullptr) {
    gMouseInside->Invalidate();
    TWinControl* parent = gMouseInside->Parent();
    if (parent != nullptr && parent->Peer() != APeer) SetPeerCursor(parent->Peer(), parent->Cursor());
  }
  gMouseInside = AControl;
  if (AControl != nullptr) AControl->Invalidate();
  if (APeer != nullptr)
    SetPeerCursor(APeer, AControl != nullptr ? AControl->Cursor() : APeer->Control()->Cursor());
}

// --- Assistive technology -------------------------------------------------

std::unordered_map<const TGraphicControl*, QAccessible::Id>& AccessibleIds() {
  static std::unordered_map<const TGraphicControl*, QAccessible::Id> ids;
  return ids;
}

class TWindowlessAccessible : public QAccessibleInterface {
 public:
  explicit TWindowlessAccessible(TGraphicControl* AControl) : FControl(AControl) {}
  bool isValid() const override { return true; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    QWidget* handle = FControl->Handle();
    return handle != nullptr ? handle->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    QWidget* handle = FControl->Handle();
    return handle != nullptr ? QAccessible::queryAccessibleInterface(handle) : nullptr;
  }
  QAccessibleInterface* child(int /*AIndex*/) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface* /*AChild*/) const override { return -1; }
  QAccessibleInterface* childAt(int /*X*/, int /*Y*/) const override { return nullptr; }
  QString text(QAccessible::Text AText) const override {
    if (AText == QAccessible::Name) return QString::fromStdString(FControl->AccessibleName());
    if (AText == QAccessible::Description)
      return QString::fromStdString(FControl->AccessibleDescription());
    return {};
  }
  void setText(QAccessible::Text /*AText*/, const QString& /*AValue*/) override {}
  QRect rect() const override {
    QWidget* handle = FControl->Handle();
    if (handle == nullptr) return {};
    const QRect r = ToQRect(FControl->HandleRect());
    return {handle->mapToGlobal(r.topLeft()), r.size()};
  }
  QAccessible::Role role() const override {
    return static_cast<QAccessible::Role>(FControl->AccessibleRole());
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.invisible = !FControl->Visible();
    return state;
  }
  TGraphicControl* Control() const { return FControl; }

 private:
  TGraphicControl* FControl;
};

QAccessibleInterface* WindowlessAccessible(TGraphicControl* AControl) {
  auto& ids = AccessibleIds();
  auto found = ids.find(AControl);
  if (found != ids.end()) return QAccessible::accessibleInterface(found->second);
  auto* accessible = new TWindowlessAccessible(AControl);
  ids.emplace(AControl, QAccessible::registerAccessibleInterface(accessible));
  return accessible;
}

// A windowed control's widget, with its windowless children that have a role
// after its child widgets.
class TPeerAccessible : public QAccessibleWidget {
 public:
  explicit TPeerAccessible(TPlainPeer* APeer) : QAccessibleWidget(APeer), FPeer(APeer) {}
  int childCount() const override {
    return QAccessibleWidget::childCount() + static_cast<int>(Windowless().size());
  }
  QAccessibleInterface* child(int AIndex) const override {
    const int widgets = QAccessibleWidget::childCount();
    if (AIndex < widgets) return QAccessibleWidget::child(AIndex);
    const std::vector<TGraphicControl*> list = Windowless();
    const auto i = static_cast<size_t>(AIndex - widgets);
    return i < list.size() ? WindowlessAccessible(list[i]) : nullptr;
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    if (FPeer != nullptr && FPeer->Control()->Focusable()) state.focusable = true;
    return state;
  }
  int indexOfChild(const QAccessibleInterface* AChild) const override {
    if (const auto* w = dynamic_cast<const TWindowlessAccessible*>(AChild)) {
      const std::vector<TGraphicControl*> list = Windowless();
      for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == w->Control()) return QAccessibleWidget::childCount() + static_cast<int>(i);
      return -1;
    }
    return QAccessibleWidget::indexOfChild(AChild);
  }

 private:
  std::vector<TGraphicControl*> Windowless() const {
    std::vector<TGraphicControl*> list;
    if (FPeer == nullptr) return list;
    TWinControl* control = FPeer->Control();
    for (int i = 0; i < control->ControlCount(); ++i) {
      TControl* c = control->Controls(i);
      if (!c->IsWindowed() && static_cast<TGraphicControl*>(c)->AccessibleRole() != 0)
        list.push_back(static_cast<TGraphicControl*>(c));
    }
    return list;
  }
  QPointer<TPlainPeer> FPeer;
};

QAccessibleInterface* PeerAccessible(const QString& /*AClassName*/, QObject* AObject) {
  if (auto* peer = dynamic_cast<TPlainPeer*>(AObject)) return new TPeerAccessible(peer);
  return nullptr;
}

}  // namespace

QAccessibleInterface* AccessibleInterface(TControl* AControl) {
  if (AControl->IsWindowed()) return QAccessible::queryAccessibleInterface(AControl->Handle());
  return WindowlessAccessible(static_cast<TGraphicControl*>(AControl));
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
    if (Parent() != nullptr) SetPeerCursor(Parent()->Peer(), Parent()->Cursor());
  }
  auto& ids = AccessibleIds();
  if (auto found = ids.find(this); found != ids.end()) {
    QAccessible::deleteAccessibleInterface(found->second);
    ids.erase(found);
  }
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
  return shown != FDrawn || (shown && !(FDrawnRect == BoundsRect()));
}

void TGraphicControl::UpdatePeerVisibility() { InvalidateOnParent(); }

void TGraphicControl::InvalidateOnParent() {
  QWidget* handle = Parent() != nullptr ? Parent()->Peer() : nullptr;
  if (handle == nullptr) {
    FDrawn = false;
    return;
  }
  const TRect now = BoundsRect();
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
  static const bool factoryInstalled = (QAccessible::installFactory(PeerAccessible), true);
  (void)factoryInstalled;
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
      visible -= ToQRect(c->BoundsRect());
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
    if (APos.x() >= c->Left() && APos.x() < c->Left() + c->Width() && APos.y() >= c->Top() &&
        APos.y() < c->Top() + c->Height())
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
    const QRect area = ToQRect(c->BoundsRect());
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

void TPlainPeer::Press(QMouseEvent* AEvent, void (TGraphicControl::*AHandler)(QMouseEvent*, int, int)) {
  const QPoint pos = AEvent->position().toPoint();
  if (TGraphicControl* target = WindowlessAt(pos)) {
    // Qt sends the moves and the release to this widget; they go on to the
    // control the press was for.
    gMouseCapture = target;
    (target->*AHandler)(AEvent, pos.x() - target->Left(), pos.y() - target->Top());
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
  if (AEvent->buttons() == Qt::NoButton) SetMouseInside(WindowlessAt(AEvent->position().toPoint()), this);
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
  if (AEvent->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(AEvent);
    if (TGraphicControl* target = WindowlessAt(help->pos()); target != nullptr && !target->Hint().empty()) {
      QToolTip::showText(help->globalPos(), QString::fromStdString(target->Hint()), this,
                         ToQRect(target->BoundsRect()));
      return true;
    }
  }
  return QWidget::event(AEvent);
}
