#include "widgets/Control.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <algorithm>
#include <deque>
#include <iterator>

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

void SyncPeers() {
  // Pushing state can make Qt call back into the model, which may queue more
  // controls or destroy queued ones; both only touch the list by index, and
  // the outer flush picks up whatever is added.
  if (InPaintEvent() || gSyncing || gPendingSync.empty()) return;
  gSyncing = true;
  ++gSyncRound;
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
        // Handlers run by Qt's resize events may even destroy the control;
        // its peer goes with it.
        const QPointer<QWidget> peer = control->FPeer;
        const QSize before = peer->size();
        control->PushPeerState();
        if (peer != nullptr && peer->size() != before) control->FResizedRound = gSyncRound;
      }
    }
    for (TControl* control : gPendingSync) pending = pending || control != nullptr;
  }
  gPendingSync.clear();
  gSyncing = false;
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

TControl::TControl(TComponent* AOwner, QWidget* APeer, bool AWindowed)
    : TComponent(AOwner), FWindowed(AWindowed), FPeer(APeer) {
  if (FPeer != nullptr) FPeer->hide();
}

TControl::~TControl() {
  KeepFocusInWindow(FPeer);
  TLayoutQueue::Forget(this);
  if (FParent != nullptr) {
    // A windowless control has told of it already, while still whole.
    if (FPeer != nullptr) AccessibleChildRemoving(this);
    TBatch batch;
    FParent->RemoveControl(this);
  }
  TLayoutQueue::Forget(this);
  delete FPeer;
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
    Invalidate();
    static_cast<TGraphicControl*>(this)->FDrawn = false;
  }
  if (FParent != nullptr) {
    AccessibleChildRemoving(this);
    FParent->RemoveControl(this);
  }
  FParent = AParent;
  // A child widget never becomes a window: without a parent it waits in the
  // nursery.
  if (FPeer != nullptr) {
    QWidget* parent = AParent != nullptr ? AParent->FPeer : nullptr;
    if (parent == nullptr && FPeer->parentWidget() != nullptr) parent = Nursery();
    FPeer->setParent(parent);
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
  TBatch batch;
  FVisible = AVisible;
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
  SyncPeers();
  QWidget* handle = Handle();
  if (handle == nullptr) return;
  const TRect r = HandleRect();
  handle->update(r.Left, r.Top, r.Width(), r.Height());
}

void TControl::Repaint() {
  SyncPeers();
  QWidget* handle = Handle();
  if (handle == nullptr) return;
  const TRect r = HandleRect();
  handle->repaint(r.Left, r.Top, r.Width(), r.Height());
}

QWidget* TControl::Handle() const {
  if (FPeer == nullptr) return FParent != nullptr ? FParent->Handle() : nullptr;
  SyncPeers();
  return FPeer;
}

TRect TControl::HandleRect() const {
  if (FPeer != nullptr) return {0, 0, FWidth, FHeight};
  const int top = FParent != nullptr ? FParent->PeerClientTop() : 0;
  return {FLeft, FTop + top, FLeft + FWidth, FTop + top + FHeight};
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

void TControl::PushPeerState() {
  const int top = FParent != nullptr ? FParent->PeerClientTop() : 0;
  FPeer->setGeometry(FLeft, FTop + top, FWidth, FHeight);
}

bool TControl::PeerOutOfDate() const {
  const int top = FParent != nullptr ? FParent->PeerClientTop() : 0;
  return FPeer->geometry() != QRect(FLeft, FTop + top, FWidth, FHeight);
}

void TControl::SizeChanged() {
  if (OnResize) gPendingResize.push_back(this);
}

void TControl::UpdatePeerVisibility() {
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

TWinControl::TWinControl(TComponent* AOwner, QWidget* APeer) : TControl(AOwner, APeer, true) {}

TWinControl::~TWinControl() {
  // Nothing may report input for a control that is going: the focus leaves
  // while this is still a whole windowed control, and the watch goes first.
  KeepFocusInWindow(Peer());
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
  // only widgets out of order are raised.
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
  for (TControl* c : FControls) c->RequestPeerSync();
  FPeer->update();
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
