#include "widgets/Splitter.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "widgets/Peer.h"

namespace {
bool IsVerticalAlign(TAlign AAlign) { return AAlign == alTop || AAlign == alBottom; }
}  // namespace

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(0, 0, DefaultThickness, 100);
  SetAlign(alLeft);
  SetCursor(crHSplit);
  // A separator, whose name (set by whoever owns it) says what it divides.
  SetAccessibleRole(arSeparator);
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

int TSplitter::MaxSizeOf(const TControl* AResized) const {
  const bool vertical = Vertical();
  TWinControl* parent = Parent();
  int size = (vertical ? parent->ClientHeight() : parent->ClientWidth()) - FMinSize;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->Visible() || IsVerticalAlign(c->Align()) != vertical) continue;
    if (c->Align() == alNone || c->Align() == alClient) continue;
    size -= SizeOf(c);
  }
  return size + SizeOf(AResized);
}

void TSplitter::BeginDrag(int AGlobalX, int AGlobalY) {
  FDragControl = FindResizedControl();
  if (FDragControl == nullptr) return;
  FDownPos = Vertical() ? AGlobalY : AGlobalX;
  FStartSize = SizeOf(FDragControl);
  FMaxSize = MaxSizeOf(FDragControl);
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
  AccessibleValueChanged(this);
}

void TSplitter::EndDrag() { FDragControl = nullptr; }

void TSplitter::MoveBy(int ADelta) {
  BeginDrag(0, 0);
  DragTo(ADelta, ADelta);
  EndDrag();
}

int TSplitter::Position() const {
  const TControl* resized = FindResizedControl();
  return resized != nullptr ? SizeOf(resized) : 0;
}

int TSplitter::MaxPosition() const {
  const TControl* resized = FindResizedControl();
  return resized != nullptr ? std::max(0, MaxSizeOf(resized)) : 0;
}

// Where there is not room for MinSize, a drag may still shrink the control.
int TSplitter::MinPosition() const { return std::min(FMinSize, MaxPosition()); }

void TSplitter::SetPosition(int APosition) {
  const int delta = APosition - Position();
  MoveBy(Align() == alTop || Align() == alLeft ? delta : -delta);
}

// Its own face, so nothing beneath shows through the gap; darker while the
// pointer rests on it, to show it can be dragged.
void TSplitter::Paint(QPainter* APainter) {
  const QColor face = ToQColor(clBtnFace);
  APainter->fillRect(0, 0, Width(), Height(), MouseInside() ? face.darker(112) : face);
}

void TSplitter::MouseDown(QMouseEvent* AEvent, int X, int Y) {
  TGraphicControl::MouseDown(AEvent, X, Y);
  const QPoint global = AEvent->globalPosition().toPoint();
  if (AEvent->button() == Qt::LeftButton)
    Dispatch([&] { BeginDrag(global.x(), global.y()); });
}

void TSplitter::MouseMove(QMouseEvent* AEvent) {
  const QPoint global = AEvent->globalPosition().toPoint();
  Dispatch([&] { DragTo(global.x(), global.y()); });
}

void TSplitter::MouseUp(QMouseEvent* AEvent) {
  if (AEvent->button() == Qt::LeftButton) Dispatch([&] { EndDrag(); });
}

void TSplitter::DblClick(QMouseEvent* AEvent, int /*X*/, int /*Y*/) {
  if (AEvent->button() == Qt::LeftButton) PeerDblClick();
}
