#include "widgets/Control.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <algorithm>
#include <deque>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "widgets/Peer.h"

// --- Layout and peer-sync bookkeeping -------------------------------------

namespace {

int gPaintDepth = 0;

// Resize notifications wait until the outermost layout change is complete,
// so a handler always sees every control at its final place and size.
int gBatchDepth = 0;
std::deque<TControl*> gPendingResize;

std::vector<TControl*> gPendingSync;
bool gSyncPosted = false;

// Counts moves of windowless containers: a cached place on the handle is
// good while it has not changed.
unsigned gPlaceRound = 1;
// Windowed controls inside windowless ones; their peers are checked after a
// windowless container moved, showed, hid or changed parent.
std::vector<TControl*> gFlat;
bool gFlatDirty = false;
bool gFlatWalking = false;

// What a peer sync repaints on each handle, gathered: thousands of panes
// moving ask for one repaint, not one each.
struct TDirty {
  QPointer<QWidget> Handle;
  QRect Area;
};
std::vector<TDirty> gDirty;

class TSyncPoster : public QObject {
 public:
  bool event(QEvent* AEvent) override {
    if (AEvent->type() != QEvent::User) return QObject::event(AEvent);
    gSyncPosted = false;
    SyncPeers();
    return true;
  }
};

TSyncPoster* SyncPoster() {
  static TSyncPoster* poster = new TSyncPoster;
  return poster;
}

}  // namespace

struct TLayoutQueue {
  static void Begin() { ++gBatchDepth; }
  static void End() {
    if (--gBatchDepth > 0) return;
    ++gBatchDepth;  // handlers below may change layout again; keep collecting
    while (!gPendingResize.empty()) {
      TControl* control = gPendingResize.front();
      gPendingResize.pop_front();
      SafeCall([control] { control->OnResize(control); });
    }
    --gBatchDepth;
  }
  static void Forget(TControl* AControl) {
    gPendingResize.erase(std::remove(gPendingResize.begin(), gPendingResize.end(), AControl),
                         gPendingResize.end());
    if (AControl->FSyncSlot >= 0) gPendingSync[static_cast<size_t>(AControl->FSyncSlot)] = nullptr;
    AControl->FSyncSlot = -1;
  }
  // Announces a size change once the control's parent finished its pass.
  static void CheckSize(TControl* AControl) {
    if (AControl->FWidth == AControl->FNotifiedWidth &&
        AControl->FHeight == AControl->FNotifiedHeight)
      return;
    AControl->FNotifiedWidth = AControl->FWidth;
    AControl->FNotifiedHeight = AControl->FHeight;
    AControl->SizeChanged();
  }
};

namespace {
class TBatch {
 public:
  TBatch() { TLayoutQueue::Begin(); }
  ~TBatch() { TLayoutQueue::End(); }
  TBatch(const TBatch&) = delete;
  TBatch& operator=(const TBatch&) = delete;
};
}  // namespace

bool InPaintEvent() { return gPaintDepth > 0; }
TPaintScope::TPaintScope() { ++gPaintDepth; }
TPaintScope::~TPaintScope() { --gPaintDepth; }

namespace {
// Numbers each flush, so a control can tell its peer was resized by the
// running one.
unsigned gSyncRound = 0;
bool gSyncing = false;
}  // namespace

bool PeerResizedBySync(const TControl* AControl) {
  return gSyncing && AControl->FResizedRound == gSyncRound;
}

namespace {
void UpdateArea(QWidget* AHandle, const QRect& AArea) {
  if (AArea.isEmpty()) return;
  if (!gSyncing) {
    AHandle->update(AArea);
    return;
  }
  for (TDirty& dirty : gDirty)
    if (dirty.Handle == AHandle) {
      dirty.Area |= AArea;
      return;
    }
  gDirty.push_back({AHandle, AArea});
}

void FlushDirty() {
  std::vector<TDirty> dirty;
  dirty.swap(gDirty);
  for (const TDirty& d : dirty)
    if (d.Handle != nullptr) d.Handle->update(d.Area);
}
}  // namespace

namespace {
// Peers brought up to date in one pass, from which their window is better
// repainted whole.
constexpr int ManyPeers = 64;
int gPushedInSync = 0;
std::vector<QWidget*> gWholeWindows;  // marked in the running flush

QWidget* FlatParentWidget(const TWinControl* AParent);

// Marks the whole of AWindow to be repainted. Qt keeps what each moved,
// shown or raised widget leaves to repaint as one region per window and
// adds every widget's piece to it: a thousand editors and grids shown at
// once made a region of thousands of rectangles, each added in time that
// grew with it. Once the region is the whole window nothing more is added.
// A child the window's size shown and hidden again (nothing paints in
// between) is the one way Qt offers to mark that region.
void RepaintWhole(QWidget* AWindow) {
  if (!AWindow->isVisible() || !AWindow->updatesEnabled()) return;
  QWidget mark(AWindow);
  mark.setFocusPolicy(Qt::NoFocus);
  mark.setGeometry(AWindow->rect());
  mark.show();
  mark.hide();
}
}  // namespace

struct TFlatPeers {
  // Brings the peers of windowed controls inside windowless ones to their
  // handle, place and visibility.
  static void Sync() {
    if (!gFlatDirty) return;
    gFlatDirty = false;
    gFlatWalking = true;
    for (size_t i = 0; i < gFlat.size(); ++i) {
      TControl* control = gFlat[i];
      if (control == nullptr || !control->PeerOutOfDate()) continue;
      Push(control);
    }
    gFlatWalking = false;
    // Controls that left meanwhile left holes.
    size_t kept = 0;
    for (TControl* control : gFlat)
      if (control != nullptr) {
        control->FFlatSlot = static_cast<int>(kept);
        gFlat[kept++] = control;
      }
    gFlat.resize(kept);
  }
  // Brings a windowed control's peer up to date, noting whether that resized
  // it (handlers run by Qt's resize events may even destroy the control; its
  // peer goes with it).
  static void Push(TControl* AControl) {
    Pushing(AControl);
    const QPointer<QWidget> peer = AControl->FPeer;
    const QSize before = peer->size();
    AControl->PushPeerState();
    if (peer != nullptr && peer->size() != before) AControl->FResizedRound = gSyncRound;
  }
  // Counts the peers a flush brings up to date; from ManyPeers on, their
  // windows are repainted whole.
  static void Pushing(const TControl* AControl) {
    if (++gPushedInSync < ManyPeers) return;
    QWidget* parent = AControl->FFlatSlot >= 0 ? FlatParentWidget(AControl->FParent)
                                               : AControl->FPeer->parentWidget();
    if (parent == nullptr) return;
    QWidget* window = parent->window();
    if (std::find(gWholeWindows.begin(), gWholeWindows.end(), window) != gWholeWindows.end())
      return;
    gWholeWindows.push_back(window);
    RepaintWhole(window);
  }
  static void Add(TControl* AControl) {
    AControl->FFlatSlot = static_cast<int>(gFlat.size());
    gFlat.push_back(AControl);
  }
  static void Remove(TControl* AControl) {
    const auto slot = static_cast<size_t>(AControl->FFlatSlot);
    if (gFlatWalking) {
      gFlat[slot] = nullptr;
    } else {
      gFlat[slot] = gFlat.back();
      if (gFlat[slot] != nullptr) gFlat[slot]->FFlatSlot = static_cast<int>(slot);
      gFlat.pop_back();
    }
    AControl->FFlatSlot = -1;
  }
};

namespace {
// A windowless container moved, showed, hid or changed parent: places
// cached below it are out of date, and the peers inside it may be too.
void PlacesChanged(const TControl* AControl) {
  if (AControl->IsWindowed()) return;
  ++gPlaceRound;
  if (!gFlat.empty()) gFlatDirty = true;
}
}  // namespace

void SyncPeers() {
  // Pushing state can make Qt call back into the model, which may queue more
  // controls or destroy queued ones; both only touch the list by index, and
  // the outer flush picks up whatever is added.
  if (InPaintEvent() || gSyncing || (gPendingSync.empty() && !gFlatDirty)) return;
  gSyncing = true;
  ++gSyncRound;
  gPushedInSync = 0;
  gWholeWindows.clear();
  // Windows first: Qt repaints the whole of a window it resizes, so the
  // windowless controls on it then need no repaint of their own.
  for (bool pending = true; pending;) {
    pending = false;
    for (bool windowed : {true, false}) {
      for (size_t i = 0; i < gPendingSync.size(); ++i) {
        TControl* control = gPendingSync[i];
        if (control == nullptr || control->IsWindowed() != windowed) continue;
        gPendingSync[i] = nullptr;
        control->FSyncSlot = -1;
        // Moved and moved back within a layout pass: nothing to do.
        if (!control->PeerOutOfDate()) continue;
        if (!windowed) {
          control->PushPeerState();
          continue;
        }
        TFlatPeers::Push(control);
      }
    }
    TFlatPeers::Sync();
    pending = gFlatDirty;
    for (TControl* control : gPendingSync) pending = pending || control != nullptr;
  }
  gPendingSync.clear();
  gSyncing = false;
  FlushDirty();
}

QColor ToQColor(TColor AColor) {
  switch (AColor) {
    case clBtnFace:
      return {240, 240, 240};
    case clWindowText:
      return {0, 0, 0};
    case clWindow:
    case clBtnHighlight:
      return {255, 255, 255};
    case clBtnShadow:
      return {160, 160, 160};
    default:
      return {AColor & 0xFF, (AColor >> 8) & 0xFF, (AColor >> 16) & 0xFF};
  }
}

static TMouseButton ToMouseButton(Qt::MouseButton AButton) {
  switch (AButton) {
    case Qt::RightButton:
      return mbRight;
    case Qt::MiddleButton:
      return mbMiddle;
    default:
      return mbLeft;
  }
}

void ForwardMousePress(TControl* AControl, QMouseEvent* AEvent) {
  ForwardMousePress(AControl, AEvent, AEvent->position().toPoint());
}

void ForwardMousePress(TControl* AControl, QMouseEvent* AEvent, QPoint APos) {
  TShiftState shift = 0;
  const Qt::KeyboardModifiers mods = AEvent->modifiers();
  if (mods & Qt::ShiftModifier) shift |= ssShift;
  if (mods & Qt::ControlModifier) shift |= ssCtrl;
  if (mods & Qt::AltModifier) shift |= ssAlt;
  if (AEvent->buttons() & Qt::LeftButton) shift |= ssLeft;
  if (AEvent->buttons() & Qt::RightButton) shift |= ssRight;
  if (AEvent->buttons() & Qt::MiddleButton) shift |= ssMiddle;
  AControl->PeerMouseDown(ToMouseButton(AEvent->button()), shift, APos.x(), APos.y());
}

// --- TControl ---------------------------------------------------------------

struct TControlExtra {
  TMargins Margins;
  TFont Font;
  std::string Hint;
  std::string AccessibleDescription;
  TPopupMenu* PopupMenu = nullptr;
};

namespace {
const TControlExtra& NoExtra() {
  static const TControlExtra none;
  return none;
}
}  // namespace

TControlExtra& TControl::Extra() {
  if (FExtra == nullptr) FExtra = std::make_unique<TControlExtra>();
  return *FExtra;
}

const TMargins& TControl::Margins() const { return (FExtra ? *FExtra : NoExtra()).Margins; }
const TFont& TControl::Font() const { return (FExtra ? *FExtra : NoExtra()).Font; }
const std::string& TControl::Hint() const { return (FExtra ? *FExtra : NoExtra()).Hint; }
TPopupMenu* TControl::PopupMenu() const { return FExtra ? FExtra->PopupMenu : nullptr; }
void TControl::SetPopupMenu(TPopupMenu* AMenu) { Extra().PopupMenu = AMenu; }

const std::string& TControl::AccessibleDescription() const {
  return (FExtra ? *FExtra : NoExtra()).AccessibleDescription;
}

namespace {
std::unordered_map<const QWidget*, TControl*>& PeerControls() {
  static std::unordered_map<const QWidget*, TControl*> controls;
  return controls;
}
}  // namespace

TControl* ControlOfPeer(const QWidget* AWidget) {
  const auto& controls = PeerControls();
  const auto found = controls.find(AWidget);
  return found != controls.end() ? found->second : nullptr;
}

TControl::TControl(TComponent* AOwner, QWidget* APeer, bool AWindowed)
    : TComponent(AOwner), FWindowed(AWindowed), FPeer(APeer) {
  if (FPeer == nullptr) return;
  FPeer->hide();
  PeerControls().emplace(FPeer, this);
}

TControl::~TControl() {
  KeepFocusInWindow(FPeer);
  TLayoutQueue::Forget(this);
  if (FFlatSlot >= 0) TFlatPeers::Remove(this);
  if (FParent != nullptr) {
    // A windowless control has told of it already, while still whole.
    if (FPeer != nullptr) AccessibleChildRemoving(this);
    TBatch batch;
    FParent->RemoveControl(this);
  }
  TLayoutQueue::Forget(this);
  if (FPeer != nullptr) {
    PeerControls().erase(FPeer);
    // A widget of another control may still lie here, on its way to the
    // handle of the windowless control it went into: Qt would take it along.
    const QObjectList children = FPeer->children();
    for (QObject* child : children)
      if (auto* widget = qobject_cast<QWidget*>(child); widget != nullptr && ControlOfPeer(widget))
        widget->setParent(Nursery());
  }
  delete FPeer;
}

QWidget* TControl::ReplacePeer(QWidget* ANew) {
  QWidget* old = FPeer;
  ANew->hide();
  if (ANew->parentWidget() != old->parentWidget()) ANew->setParent(old->parentWidget());
  ANew->setGeometry(old->geometry());
  if (!old->mask().isEmpty()) ANew->setMask(old->mask());
  if (old->testAttribute(Qt::WA_SetFont)) ANew->setFont(old->font());
  if (old->testAttribute(Qt::WA_SetPalette)) ANew->setPalette(old->palette());
  if (old->testAttribute(Qt::WA_SetCursor)) ANew->setCursor(old->cursor());
  ANew->setToolTip(old->toolTip());
  ANew->setAccessibleName(old->accessibleName());
  ANew->setAccessibleDescription(old->accessibleDescription());
  PeerControls().erase(old);
  PeerControls().emplace(ANew, this);
  FPeer = ANew;
  if (old->parentWidget() != nullptr) ANew->stackUnder(old);
  ANew->setVisible(!old->isHidden());
  // The keyboard goes over before the old one hides, or Qt would hand it
  // to the next widget in its chain.
  if (old->hasFocus() && ANew->isVisible()) ANew->setFocus(Qt::OtherFocusReason);
  old->hide();
  return old;
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  TBatch batch;
  // Qt drops the keyboard focus of a widget it re-parents; a control that
  // moves within its window keeps it, down to the part that had it.
  QPointer<QWidget> focus = QApplication::focusWidget();
  if (FPeer == nullptr || (focus != nullptr && focus != FPeer && !FPeer->isAncestorOf(focus)))
    focus = nullptr;
  // Qt would otherwise pass the focus on as if the user pressed Tab, which in
  // a grid moves its current cell.
  if (focus != nullptr) KeepFocusInWindow(FPeer);
  if (FPeer == nullptr && FParent != nullptr) {
    // The old parent no longer draws it.
    if (FDrawn && FDrawnOn != nullptr)
      UpdateArea(FDrawnOn->FPeer,
                 QRect(FDrawnRect.Left, FDrawnRect.Top, FDrawnRect.Width(), FDrawnRect.Height()));
    FDrawn = false;
    // Nor holds the keys it held, where it goes to another window.
    if (FContainer && (AParent == nullptr || AParent->HandleControl() != FParent->HandleControl()))
      KeepFocusOutOf(static_cast<TWinControl*>(this));
  }
  if (FParent != nullptr) {
    AccessibleChildRemoving(this);
    FParent->RemoveControl(this);
  }
  FParent = AParent;
  PlacesChanged(this);
  UpdateFlatSlot();
  // A child widget never becomes a window: without a parent it waits in the
  // nursery. Inside a windowless control it lies on that control's handle.
  if (FPeer != nullptr) {
    QWidget* parent = AParent != nullptr ? AParent->FPeer : nullptr;
    if (AParent != nullptr && parent == nullptr) {
      // Inside a windowless control: the next peer sync puts it on the
      // handle; until then it stays where it lies, and keeps the keys.
      parent = FPeer->parentWidget();
    } else if (parent == nullptr && FPeer->parentWidget() != nullptr) {
      parent = Nursery();
    }
    if (FPeer->parentWidget() != parent) FPeer->setParent(parent);
  }
  if (AParent != nullptr)
    AParent->InsertControl(this);
  else
    TLayoutQueue::CheckSize(this);
  UpdatePeerVisibility();
  if (AParent != nullptr) AccessibleChildAdded(this);
  if (focus != nullptr && FPeer->isVisible()) focus->setFocus(Qt::OtherFocusReason);
}

void TControl::SetAlign(TAlign AAlign) {
  if (AAlign == FAlign) return;
  TBatch batch;
  FAlign = AAlign;
  AlignChanged();
  if (FParent != nullptr) FParent->AlignControls(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  ChangeBounds(ALeft, ATop, AWidth, AHeight, true);
}

void TControl::AdoptPeerBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  ChangeBounds(ALeft, ATop, AWidth, AHeight, false);
}

void TControl::ChangeBounds(int ALeft, int ATop, int AWidth, int AHeight, bool APush) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  TBatch batch;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FContainer) PlacesChanged(this);
  if (APush) RequestPeerSync();
  if (FParent != nullptr && FVisible)
    FParent->AlignControls(this);
  else
    TLayoutQueue::CheckSize(this);
}

void TControl::SetMargins(const TMargins& AMargins) {
  if (AMargins == Margins()) return;
  TBatch batch;
  Extra().Margins = AMargins;
  if (FParent != nullptr && FVisible) FParent->AlignControls(this);
}

void TControl::SetText(const std::string& AText) {
  FText = AText;
  TextChanged();
}

void TControl::SetVisible(bool AVisible) {
  if (AVisible == FVisible) return;
  if (!AVisible) KeepFocusInWindow(FPeer);
  if (!AVisible && FContainer && FPeer == nullptr) KeepFocusOutOf(static_cast<TWinControl*>(this));
  TBatch batch;
  FVisible = AVisible;
  if (FContainer) PlacesChanged(this);
  UpdatePeerVisibility();
  if (FParent != nullptr) FParent->AlignControls(this);
}

void TControl::SetColor(TColor AColor) {
  FColor = AColor;
  Invalidate();
}

void TControl::SetCursor(TCursor ACursor) {
  FCursor = ACursor;
  // A windowless control's cursor is shown by its parent while the pointer
  // is over it.
  if (FPeer != nullptr) SetPeerCursor(FPeer, ACursor);
}

void TControl::SetFont(const TFont& AFont) {
  Extra().Font = AFont;
  if (FPeer == nullptr) return;
  QFont font = FPeer->font();
  font.setFamilies(QStringList{QString::fromStdString(AFont.Name), "DejaVu Sans",
                               "WenQuanYi Micro Hei", "Noto Sans CJK TC"});
  if (AFont.Height != 0) font.setPixelSize(AFont.Height < 0 ? -AFont.Height : AFont.Height);
  font.setBold(AFont.Bold);
  font.setItalic(AFont.Italic);
  font.setUnderline(AFont.Underline);
  font.setStrikeOut(AFont.StrikeOut);
  FPeer->setFont(font);
  QPalette palette = FPeer->palette();
  palette.setColor(QPalette::WindowText, ToQColor(AFont.Color));
  palette.setColor(QPalette::ButtonText, ToQColor(AFont.Color));
  FPeer->setPalette(palette);
}

void TControl::SetHint(const std::string& AHint) {
  Extra().Hint = AHint;
  if (FPeer != nullptr) FPeer->setToolTip(QString::fromStdString(AHint));
}

void TControl::SetAccessibleName(const std::string& AName) {
  if (AName == FAccessibleName) return;
  FAccessibleName = AName;
  // Qt tells assistive technology of a widget's new name itself.
  if (FPeer != nullptr)
    FPeer->setAccessibleName(QString::fromStdString(AName));
  else
    AccessibleNameChanged(this);
}

void TControl::SetAccessibleDescription(const std::string& ADescription) {
  Extra().AccessibleDescription = ADescription;
  if (FPeer != nullptr) FPeer->setAccessibleDescription(QString::fromStdString(ADescription));
}

void TControl::Invalidate() {
  if (FPeer == nullptr) {
    // At the next peer sync, with the places of all that changed meanwhile.
    FRedraw = true;
    RequestPeerSync();
    return;
  }
  // All of its widget, wherever that goes.
  FPeer->update();
}

void TControl::Repaint() {
  SyncPeers();
  QWidget* handle = Handle();
  if (handle == nullptr) return;
  const TRect r = HandleRect();
  handle->repaint(r.Left, r.Top, r.Width(), r.Height());
}

QWidget* TControl::Handle() const {
  if (FPeer == nullptr) {
    const TWinControl* handle = FParent != nullptr ? FParent->HandleControl() : nullptr;
    return handle != nullptr ? handle->Handle() : nullptr;
  }
  SyncPeers();
  return FPeer;
}

TRect TControl::HandleRect() const {
  if (FPeer != nullptr) return {0, 0, FWidth, FHeight};
  const TPoint origin = FParent != nullptr ? FParent->ClientOrigin() : TPoint{};
  return {origin.X + FLeft, origin.Y + FTop, origin.X + FLeft + FWidth, origin.Y + FTop + FHeight};
}

bool TControl::ShownOnHandle() const {
  if (!FVisible || FParent == nullptr) return false;
  FParent->UpdatePlace();
  return FParent->FShowsChildren;
}

void TControl::UpdateFlatSlot() {
  const bool flat = FPeer != nullptr && FParent != nullptr && FParent->FPeer == nullptr;
  if (flat == (FFlatSlot >= 0)) return;
  if (flat)
    TFlatPeers::Add(this);
  else
    TFlatPeers::Remove(this);
}

void TControl::InvalidateOnHandle() {
  const TWinControl* owner = FParent != nullptr ? FParent->HandleControl() : nullptr;
  QWidget* handle = owner != nullptr ? owner->FPeer : nullptr;
  if (handle == nullptr) {
    FDrawn = false;
    return;
  }
  const TRect now = HandleRect();
  const bool shown = ShownOnHandle();
  const bool redraw = FRedraw;
  FRedraw = false;
  if (!redraw && FDrawn == shown && (!shown || FDrawnRect == now)) return;
  // A handle just resized is repainted whole anyway.
  if (!PeerResizedBySync(owner)) {
    if (FDrawn)
      UpdateArea(handle,
                 QRect(FDrawnRect.Left, FDrawnRect.Top, FDrawnRect.Width(), FDrawnRect.Height()));
    if (shown) UpdateArea(handle, QRect(now.Left, now.Top, now.Width(), now.Height()));
  }
  const bool drawnAnew = shown && !FDrawn;
  FDrawn = shown;
  FDrawnRect = now;
  FDrawnOn = const_cast<TWinControl*>(owner);
  // What shows inside a container drawn anew (a tree of panes built apart
  // and put in, or shown again) is drawn with it: where each part lies is
  // repainted when it moves, hides or goes.
  if (!drawnAnew || !FContainer) return;
  std::vector<const TWinControl*> todo{static_cast<const TWinControl*>(this)};
  while (!todo.empty()) {
    const TWinControl* container = todo.back();
    todo.pop_back();
    // (Shown, and so showing its children: those shown are those visible.)
    const TPoint origin = container->ClientOrigin();
    for (int i = 0; i < container->ControlCount(); ++i) {
      TControl* c = container->Controls(i);
      if (c->FPeer != nullptr || !c->FVisible) continue;
      c->FDrawn = true;
      c->FDrawnRect = {origin.X + c->FLeft, origin.Y + c->FTop, origin.X + c->FLeft + c->FWidth,
                       origin.Y + c->FTop + c->FHeight};
      c->FDrawnOn = FDrawnOn;
      if (c->FContainer) todo.push_back(static_cast<const TWinControl*>(c));
    }
  }
}

void TControl::PeerMouseDown(TMouseButton AButton, TShiftState AShift, int X, int Y) {
  Dispatch([&] { OnMouseDown(this, AButton, AShift, X, Y); });
}

void TControl::PeerClick() {
  Dispatch([&] { OnClick(this); });
}

void TControl::PeerDblClick() {
  Dispatch([&] { OnDblClick(this); });
}

namespace {
// Where a flat control's peer belongs: on its handle; null while its
// windowless parent has none, when it stays hidden where it lies. (Moving
// each of a thousand editors of a tree being built into one waiting widget
// would have Qt walk all the others' focus chain each time.)
QWidget* FlatParentWidget(const TWinControl* AParent) {
  const TWinControl* handle = AParent->HandleControl();
  return handle != nullptr ? handle->Peer() : nullptr;
}

// The part of a flat control's peer its windowless parents let show, in the
// peer's coordinates; empty where that is all of it. (A peer cut off
// entirely keeps one pixel outside itself.)
QRegion FlatMask(const TControl* AControl, TPoint AOrigin) {
  const TRect clip = AControl->Parent()->ChildClip();
  const QRect area(AOrigin.X + AControl->Left(), AOrigin.Y + AControl->Top(), AControl->Width(),
                   AControl->Height());
  const QRect visible = area & QRect(clip.Left, clip.Top, clip.Width(), clip.Height());
  if (visible == area || area.isEmpty()) return {};
  if (visible.isEmpty()) return QRegion(-1, -1, 1, 1);
  return QRegion(visible.translated(-area.topLeft()));
}
}  // namespace

void TControl::PushPeerState() {
  if (FPeer == nullptr) {
    InvalidateOnHandle();
    return;
  }
  const TPoint origin = FParent != nullptr ? FParent->ClientOrigin() : TPoint{};
  if (FFlatSlot >= 0) {
    QWidget* parent = FlatParentWidget(FParent);
    if (parent != nullptr && FPeer->parentWidget() != parent) {
      KeepFocusInWindow(FPeer);
      FPeer->setParent(parent);
    }
  }
  FPeer->setGeometry(origin.X + FLeft, origin.Y + FTop, FWidth, FHeight);
  if (FFlatSlot >= 0) {
    // What sticks out of the windowless controls it lies in is cut off, as
    // a widget inside theirs would be.
    const QRegion mask = FlatMask(this, origin);
    if (FPeer->mask() != mask) {
      if (mask.isEmpty())
        FPeer->clearMask();
      else
        FPeer->setMask(mask);
      // What it no longer covers is the handle's to paint again.
      if (QWidget* handle = FPeer->parentWidget()) handle->update(FPeer->geometry());
    }
    const bool shown = ShownOnHandle();
    if (FPeer->isHidden() != shown) return;
    if (!shown) KeepFocusInWindow(FPeer);
    FPeer->setVisible(shown);
  }
}

bool TControl::PeerOutOfDate() const {
  if (FPeer == nullptr) {
    if (FRedraw) return true;
    const bool shown = ShownOnHandle();
    return shown != FDrawn || (shown && !(FDrawnRect == HandleRect()));
  }
  const TPoint origin = FParent != nullptr ? FParent->ClientOrigin() : TPoint{};
  if (FPeer->geometry() != QRect(origin.X + FLeft, origin.Y + FTop, FWidth, FHeight)) return true;
  if (FFlatSlot < 0) return false;
  const QWidget* parent = FlatParentWidget(FParent);
  return (parent != nullptr && FPeer->parentWidget() != parent) ||
         FPeer->isHidden() == ShownOnHandle() || FPeer->mask() != FlatMask(this, origin);
}

void TControl::SizeChanged() {
  if (OnResize) gPendingResize.push_back(this);
}

void TControl::UpdatePeerVisibility() {
  // A windowless control is drawn again at the next peer sync, when every
  // place is known: asking now, amid a tree's building, would walk up the
  // tree for each control.
  if (FPeer == nullptr) {
    RequestPeerSync();
    return;
  }
  if (FFlatSlot >= 0) {
    // Placed, re-parented and shown or hidden as its windowless parents are,
    // at once. (Left to the next sync, an editor moved by an undo was hidden
    // and shown again midway, and came back drawn otherwise.)
    if (FSyncSlot >= 0) {
      gPendingSync[static_cast<size_t>(FSyncSlot)] = nullptr;
      FSyncSlot = -1;
    }
    if (PeerOutOfDate()) PushPeerState();
    return;
  }
  const bool shown = FVisible && FParent != nullptr;
  if (shown && FSyncSlot >= 0) {
    // Show at the right place, not where Qt last had it.
    gPendingSync[static_cast<size_t>(FSyncSlot)] = nullptr;
    FSyncSlot = -1;
    PushPeerState();
  }
  FPeer->setVisible(shown);
}

void TControl::RequestPeerSync() {
  if (FSyncSlot >= 0) return;
  FSyncSlot = static_cast<int>(gPendingSync.size());
  gPendingSync.push_back(this);
  if (!gSyncPosted && QCoreApplication::instance() != nullptr) {
    gSyncPosted = true;
    QCoreApplication::postEvent(SyncPoster(), new QEvent(QEvent::User));
  }
}

// --- TWinControl ------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TWinControl(AOwner, new TPlainPeer(this)) {}

TWinControl::TWinControl(TComponent* AOwner, QWidget* APeer) : TControl(AOwner, APeer, true) {
  FContainer = true;
  // Every new widget (an editor or grid is a dozen) posts a request to be
  // polished, which only matters once it shows, and showing polishes it
  // anyway. Qt looks through all posted events each time it posts a layout
  // request to a widget with one pending, so opening a thousand editors
  // would look through tens of thousands: the requests are dropped as they
  // pile up.
  static int created = 0;
  if (++created % 8 == 0) QCoreApplication::removePostedEvents(nullptr, QEvent::PolishRequest);
}

TWinControl::TWinControl(TComponent* AOwner, TWindowless) : TControl(AOwner, nullptr, false) {
  FContainer = true;
}

TWinControl::~TWinControl() {
  // Nothing may report input for a control that is going: the focus leaves
  // while this is still a whole windowed control, and the watch goes first.
  KeepFocusInWindow(Peer());
  if (Peer() == nullptr) {
    KeepFocusOutOf(this);
    // Told while still whole; what it covered shows its parent again.
    if (Parent() != nullptr) AccessibleChildRemoving(this);
    ForgetWindowlessAccessible(this);
    if (FDrawn && FDrawnOn != nullptr)
      FDrawnOn->Peer()->update(FDrawnRect.Left, FDrawnRect.Top, FDrawnRect.Width(),
                               FDrawnRect.Height());
  }
  delete FInputWatch;
  FInputWatch = nullptr;
  // Children go first (newest first), each taking its own peer with it, so Qt
  // never deletes a peer behind the model's back.
  FAligning = true;
  while (!FControls.empty()) delete FControls.back();
}

void TWinControl::InsertControl(TControl* AControl) {
  FControls.push_back(AControl);
  Restack();
  AlignControls(AControl);
}

void TWinControl::RemoveControl(TControl* AControl) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), AControl), FControls.end());
  AControl->FParent = nullptr;
  AlignControls(nullptr);
}

void TWinControl::Restack() {
  // Windowless controls are drawn by this control, below every windowed
  // child; among windowed children the newest is on top. Qt puts a widget
  // it re-parents on top already; raising costs it a walk up the tree, so
  // only widgets out of order are raised. Inside a windowless control the
  // widgets lie side by side, none over another.
  if (FPeer == nullptr) return;
  const QObjectList& stacked = FPeer->children();
  qsizetype next = 0;
  bool ordered = true;
  for (TControl* c : FControls) {
    if (!c->IsWindowed()) continue;
    const qsizetype at = stacked.indexOf(c->FPeer, next);
    if (at < 0) {
      ordered = false;
      break;
    }
    next = at + 1;
  }
  if (ordered) return;
  for (TControl* c : FControls)
    if (c->IsWindowed()) c->FPeer->raise();
}

static bool InsertBefore(const TControl* C1, const TControl* C2, TAlign AAlign) {
  switch (AAlign) {
    case alTop:
      return C1->Top() < C2->Top();
    case alBottom:
      return C1->Top() + C1->Height() > C2->Top() + C2->Height();
    case alLeft:
      return C1->Left() < C2->Left();
    case alRight:
      return C1->Left() + C1->Width() > C2->Left() + C2->Width();
    default:
      return false;
  }
}

void TWinControl::AlignControls(TControl* AControl) {
  if (FAligning) return;
  FAligning = true;
  TBatch batch;
  TRect rect = ClientRect();
  // Reused between passes: nested passes only start once this one is done
  // with it.
  static std::vector<TControl*> list;
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    list.clear();
    if (AControl != nullptr && AControl->FParent == this && AControl->FAlign == align &&
        AControl->FVisible)
      list.push_back(AControl);
    for (TControl* c : FControls) {
      if (c == AControl || c->FAlign != align || !c->FVisible) continue;
      size_t j = 0;
      while (j < list.size() && !InsertBefore(c, list[j], align)) ++j;
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(j), c);
    }
    for (TControl* c : list) {
      // The slot the alignment gives, less the control's margins.
      const TMargins& m = c->Margins();
      const int width = std::max(0, rect.Width() - m.Left - m.Right);
      const int height = std::max(0, rect.Height() - m.Top - m.Bottom);
      int l = c->FLeft, t = c->FTop, w = c->FWidth, h = c->FHeight;
      switch (align) {
        case alTop:
          l = rect.Left + m.Left, t = rect.Top + m.Top, w = width;
          rect.Top += h + m.Top + m.Bottom;
          break;
        case alBottom:
          l = rect.Left + m.Left, t = rect.Bottom - h - m.Bottom, w = width;
          rect.Bottom -= h + m.Top + m.Bottom;
          break;
        case alLeft:
          l = rect.Left + m.Left, t = rect.Top + m.Top, h = height;
          rect.Left += w + m.Left + m.Right;
          break;
        case alRight:
          l = rect.Right - w - m.Right, t = rect.Top + m.Top, h = height;
          rect.Right -= w + m.Left + m.Right;
          break;
        default:
          l = rect.Left + m.Left, t = rect.Top + m.Top, w = width, h = height;
      }
      if (l != c->FLeft || t != c->FTop || w != c->FWidth || h != c->FHeight) {
        c->FLeft = l, c->FTop = t, c->FWidth = w, c->FHeight = h;
        if (c->FContainer) PlacesChanged(c);
        c->RequestPeerSync();
      }
    }
  }
  FAligning = false;
  // Only now, with every sibling in place, do children react to their size.
  for (size_t i = 0; i < FControls.size(); ++i) TLayoutQueue::CheckSize(FControls[i]);
}

void TWinControl::SizeChanged() {
  AlignControls(nullptr);
  TControl::SizeChanged();
}

void TWinControl::PeerClientMoved() {
  ++gPlaceRound;
  if (!gFlat.empty()) gFlatDirty = true;
  for (TControl* c : FControls) c->RequestPeerSync();
  Invalidate();
}

void TWinControl::UpdatePlace() const {
  if (FPlaceRound == gPlaceRound) return;
  // The windowless containers up to the first whose place is known, walked
  // without recursion (a tree of panes may be thousands of levels deep),
  // then placed from the top down.
  static std::vector<const TWinControl*> chain;
  chain.clear();
  for (const TWinControl* c = this; c != nullptr && c->FPlaceRound != gPlaceRound;
       c = c->Parent()) {
    if (c->FPeer != nullptr) {
      // Qt itself cuts its children off at its widget's edges.
      constexpr int Far = 1 << 28;
      c->FChildClip = {-Far, -Far, Far, Far};
      c->FClientOrigin = {0, c->PeerClientTop()};
      c->FShowsChildren = true;
      c->FHandleControl = const_cast<TWinControl*>(c);
      c->FPlaceRound = gPlaceRound;
      break;
    }
    chain.push_back(c);
  }
  for (size_t i = chain.size(); i-- > 0;) {
    const TWinControl* c = chain[i];
    const TWinControl* parent = c->Parent();
    if (parent == nullptr) {
      c->FClientOrigin = {c->Left(), c->Top()};
      c->FChildClip = {};
      c->FShowsChildren = false;
      c->FHandleControl = nullptr;
    } else {
      const TPoint at = {parent->FClientOrigin.X + c->Left(), parent->FClientOrigin.Y + c->Top()};
      c->FClientOrigin = {at.X, at.Y + c->PeerClientTop()};
      const TRect& outer = parent->FChildClip;
      c->FChildClip = {std::max(outer.Left, at.X), std::max(outer.Top, at.Y),
                       std::min(outer.Right, at.X + c->Width()),
                       std::min(outer.Bottom, at.Y + c->Height())};
      c->FShowsChildren = parent->FShowsChildren && c->Visible();
      c->FHandleControl = parent->FHandleControl;
    }
    c->FPlaceRound = gPlaceRound;
  }
}

TPoint TWinControl::ClientOrigin() const {
  UpdatePlace();
  return FClientOrigin;
}

TWinControl* TWinControl::HandleControl() const {
  UpdatePlace();
  return FHandleControl;
}

TRect TWinControl::ChildClip() const {
  UpdatePlace();
  return FChildClip;
}

void TWinControl::SetTabOrder(int AValue) {
  FTabOrder = AValue;
  if (Parent() != nullptr) Parent()->UpdateTabChain();
}

void TWinControl::UpdateTabChain() {
  std::vector<TWinControl*> chain;
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c); w != nullptr && w->FTabOrder >= 0)
      chain.push_back(w);
  std::stable_sort(chain.begin(), chain.end(),
                   [](auto* a, auto* b) { return a->FTabOrder < b->FTabOrder; });
  std::erase_if(chain, [](const TWinControl* AControl) { return AControl->Peer() == nullptr; });
  for (size_t i = 1; i < chain.size(); ++i)
    QWidget::setTabOrder(chain[i - 1]->Peer(), chain[i]->Peer());
}

int StepReadingSize(int APercent, int ASteps) {
  if (ASteps == 0) return 100;
  const std::ptrdiff_t count = std::size(ReadingSizes);
  const int* const first = std::begin(ReadingSizes);
  // From between two sizes (a file's 105, say), the next one either way.
  const std::ptrdiff_t from = ASteps > 0
                                  ? std::upper_bound(first, first + count, APercent) - first - 1
                                  : std::lower_bound(first, first + count, APercent) - first;
  return first[std::clamp<std::ptrdiff_t>(from + ASteps, 0, count - 1)];
}

void ScaleFont(QWidget* AWidget, int APercent) {
  if (APercent == 100) {
    AWidget->setFont(QFont());  // what its window gives, as before
    return;
  }
  QFont font = QApplication::font(AWidget);
  if (font.pointSizeF() > 0)
    font.setPointSizeF(font.pointSizeF() * APercent / 100.0);
  else
    font.setPixelSize(std::max(1, font.pixelSize() * APercent / 100));
  AWidget->setFont(font);
}
