#include "widgets/Splitter.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <algorithm>

#include "widgets/Peer.h"

namespace {
class TSplitterPeer : public TPlainPeer {
 public:
  using TPlainPeer::TPlainPeer;

 protected:
  TSplitter* Splitter() const { return static_cast<TSplitter*>(FControl); }
  void mousePressEvent(QMouseEvent* AEvent) override {
    TPlainPeer::mousePressEvent(AEvent);
    const QPoint global = AEvent->globalPosition().toPoint();
    if (AEvent->button() == Qt::LeftButton)
      Dispatch([&] { Splitter()->BeginDrag(global.x(), global.y()); });
  }
  void mouseMoveEvent(QMouseEvent* AEvent) override {
    const QPoint global = AEvent->globalPosition().toPoint();
    Dispatch([&] { Splitter()->DragTo(global.x(), global.y()); });
  }
  void mouseReleaseEvent(QMouseEvent* AEvent) override {
    if (AEvent->button() == Qt::LeftButton) Dispatch([&] { Splitter()->EndDrag(); });
  }
  void mouseDoubleClickEvent(QMouseEvent* AEvent) override {
    if (AEvent->button() == Qt::LeftButton) Splitter()->PeerDblClick();
  }
  // Its own face, so nothing beneath shows through the gap; lighter while
  // the pointer is over it, to show it can be dragged.
  void paintEvent(QPaintEvent* /*AEvent*/) override {
    TPaintScope scope;
    QPainter painter(this);
    const QColor face = ToQColor(clBtnFace);
    painter.fillRect(rect(), underMouse() ? face.darker(112) : face);
  }
  void enterEvent(QEnterEvent* /*AEvent*/) override { update(); }
  void leaveEvent(QEvent* /*AEvent*/) override { update(); }
};

// Assistive technology sees a splitter as a separator; its name (set by
// whoever owns it) says what it divides.
QAccessibleInterface* SplitterAccessible(const QString& /*AClassName*/, QObject* AObject) {
  if (auto* peer = dynamic_cast<TSplitterPeer*>(AObject))
    return new QAccessibleWidget(peer, QAccessible::Separator);
  return nullptr;
}

bool IsVerticalAlign(TAlign AAlign) { return AAlign == alTop || AAlign == alBottom; }
}  // namespace

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner, new TSplitterPeer(this)) {
  static const bool factoryInstalled = (QAccessible::installFactory(SplitterAccessible), true);
  (void)factoryInstalled;
  SetBounds(0, 0, 3, 100);
  SetAlign(alLeft);
  SetCursor(crHSplit);
}

void TSplitter::AlignChanged() {
  // Keep the thickness when the splitter turns from one axis to the other.
  if (IsVerticalAlign(Align()) != IsVerticalAlign(FLastAlign) && Align() != alNone &&
      FLastAlign != alNone)
    SetBounds(Left(), Top(), Height(), Width());
  FLastAlign = Align();
  SetCursor(Vertical() ? crVSplit : crHSplit);
}

TControl* TSplitter::FindResizedControl() const {
  if (Parent() == nullptr) return nullptr;
  int x = Left(), y = Top();
  switch (Align()) {
    case alLeft:
      --x;
      break;
    case alRight:
      x += Width();
      break;
    case alTop:
      --y;
      break;
    case alBottom:
      y += Height();
      break;
    default:
      return nullptr;
  }
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (c == this || !c->Visible()) continue;
    TRect r = c->BoundsRect();
    // A control of no extent still owns the edge it sits on.
    if (r.Width() == 0) (Align() == alTop || Align() == alLeft) ? --r.Left : ++r.Right;
    if (r.Height() == 0) (Align() == alTop || Align() == alLeft) ? --r.Top : ++r.Bottom;
    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return c;
  }
  return nullptr;
}

void TSplitter::BeginDrag(int AGlobalX, int AGlobalY) {
  FDragControl = FindResizedControl();
  if (FDragControl == nullptr) return;
  const bool vertical = Vertical();
  FDownPos = vertical ? AGlobalY : AGlobalX;
  FStartSize = vertical ? FDragControl->Height() : FDragControl->Width();
  // Leave MinSize for whatever fills the rest of the parent.
  TWinControl* parent = Parent();
  FMaxSize = (vertical ? parent->ClientHeight() : parent->ClientWidth()) - FMinSize;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->Visible() || IsVerticalAlign(c->Align()) != vertical) continue;
    if (c->Align() == alNone || c->Align() == alClient) continue;
    FMaxSize -= vertical ? c->Height() : c->Width();
  }
  FMaxSize += FStartSize;
}

void TSplitter::DragTo(int AGlobalX, int AGlobalY) {
  if (FDragControl == nullptr) return;
  const int delta = (Vertical() ? AGlobalY : AGlobalX) - FDownPos;
  const bool grows = Align() == alTop || Align() == alLeft;
  int size = FStartSize + (grows ? delta : -delta);
  // Both sides keep MinSize where there is room; where there is not, the
  // control may shrink but never grow past what is available.
  const int high = std::max(0, FMaxSize);
  const int low = std::min(FMinSize, high);
  size = std::clamp(size, low, high);
  const int current = Vertical() ? FDragControl->Height() : FDragControl->Width();
  if (size == current) return;
  bool accept = true;
  OnCanResize(this, size, accept);
  if (!accept || FDragControl == nullptr) return;
  if (Vertical())
    FDragControl->SetHeight(size);
  else
    FDragControl->SetWidth(size);
  OnMoved(this);
}

void TSplitter::EndDrag() { FDragControl = nullptr; }

void TSplitter::MoveBy(int ADelta) {
  BeginDrag(0, 0);
  DragTo(ADelta, ADelta);
  EndDrag();
}
