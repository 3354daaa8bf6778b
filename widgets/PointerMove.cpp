#include "widgets/PointerMove.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <cmath>

#include "widgets/Peer.h"

namespace {

// Where something carried would land: a translucent fill in the highlight
// colour with a solid two-pixel outline, over the area's editors and grids
// and never in the pointer's way.
class TWash : public QWidget {
 public:
  explicit TWash(QWidget* AParent) : QWidget(AParent) {
    setObjectName(QStringLiteral("pointerMoveWash"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent* /*AEvent*/) override {
    QPainter painter(this);
    QColor line = palette().color(QPalette::Highlight);
    line.setAlpha(255);
    QColor fill = line;
    fill.setAlpha(90);
    const int w = width(), h = height();
    if (w <= 4 || h <= 4) {
      painter.fillRect(rect(), line);
      return;
    }
    painter.fillRect(2, 2, w - 4, h - 4, fill);
    painter.fillRect(0, 0, w, 2, line);
    painter.fillRect(0, h - 2, w, 2, line);
    painter.fillRect(0, 2, 2, h - 4, line);
    painter.fillRect(w - 2, 2, 2, h - 4, line);
  }
};

constexpr Qt::KeyboardModifiers PickUpModifiers = Qt::ControlModifier | Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers AnyModifier =
    Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier;

}  // namespace

// The application-wide event filter of one TPointerMove, and the Qt state it
// keeps. It outlives its owner while one of its calls is still running, so a
// handler may destroy the component in the middle of an event.
class TPointerWatch : public QObject {
 public:
  explicit TPointerWatch(TPointerMove* AOwner) : FOwner(AOwner) {}

  TPointerMove* FOwner;
  int FDepth = 0;
  bool FInstalled = false;
  QPointer<QWidget> FPeer;  // the area's widget
  QPointer<TWash> FWash;
  // Buttons whose press was kept from the controls: their moves and release
  // are kept too, even after the carry ended.
  Qt::MouseButtons FSwallow;
  // The last press asked about as a pick-up: Qt hands a press a child
  // ignores on to its parent, and it must be asked about once.
  quint64 FPickStamp = 0;
  QPointF FPickAt;
  bool FPicked = false;

  void SetInstalled(bool AInstalled) {
    if (AInstalled == FInstalled || qApp == nullptr) return;
    FInstalled = AInstalled;
    if (AInstalled)
      qApp->installEventFilter(this);
    else
      qApp->removeEventFilter(this);
  }

  // The area's client coordinates of a point on the screen.
  QPoint AreaPos(QPointF AGlobal) const {
    const QPointF local = FPeer->mapFromGlobal(AGlobal);
    return {static_cast<int>(std::floor(local.x())),
            static_cast<int>(std::floor(local.y())) - FOwner->FArea->PeerClientTop()};
  }
  bool InArea(QPoint APos) const {
    return APos.x() >= 0 && APos.y() >= 0 && APos.x() < FPeer->width() &&
           APos.y() < FPeer->height() - FOwner->FArea->PeerClientTop();
  }

  // Keeps the watch alive across a call that may destroy its owner.
  class THold {
   public:
    explicit THold(TPointerWatch* AWatch) : FWatch(AWatch) { ++FWatch->FDepth; }
    ~THold() {
      if (--FWatch->FDepth == 0 && FWatch->FOwner == nullptr) delete FWatch;
    }
    THold(const THold&) = delete;
    THold& operator=(const THold&) = delete;

   private:
    TPointerWatch* FWatch;
  };

 protected:
  bool eventFilter(QObject* AReceiver, QEvent* AEvent) override {
    if (FOwner == nullptr) return false;
    const THold hold(this);
    const unsigned raised = FRaised;
    // Input whose handler failed is still the carry's: the controls beneath
    // get none of it.
    const QEvent::Type type = AEvent->type();
    bool eat = false;
    SafeCall([&] {
      eat = dynamic_cast<QInputEvent*>(AEvent) != nullptr && type != QEvent::Wheel;
      eat = FOwner->FilterEvent(AReceiver, AEvent);
    });
    if (FRaised != raised) SyncPeers();
    return eat;
  }

 public:
  unsigned FRaised = 0;  // events raised so far
};

TPointerMove::TPointerMove(TComponent* AOwner)
    : TComponent(AOwner), FWatch(new TPointerWatch(this)) {}

TPointerMove::~TPointerMove() {
  // Nothing is raised for a component that is going.
  Finish();
  FWatch->SetInstalled(false);
  FWatch->FOwner = nullptr;
  if (FWatch->FDepth == 0) delete FWatch;
}

template <class F>
bool TPointerMove::Raise(F&& ARaise) {
  TPointerWatch* watch = FWatch;
  const TPointerWatch::THold hold(watch);
  ++watch->FRaised;
  ARaise();
  return watch->FOwner != nullptr;
}

void TPointerMove::SetArea(TWinControl* AArea) {
  if (AArea == FArea) return;
  if (Active()) {
    const unsigned carry = FCarry;
    // The handler may have gone, or started a carry over the old area.
    if (!EndWithCancel() || FCarry != carry + 1) return;
  }
  if (FArea != nullptr) RemoveFreeNotification(FArea);
  FArea = AArea;
  FState = csIdle;
  FWatch->FPeer = AArea != nullptr ? AArea->Peer() : nullptr;
  if (AArea != nullptr) FreeNotification(AArea);
  UpdateWatch();
}

void TPointerMove::Notification(TComponent* AComponent, TOperation AOperation) {
  TComponent::Notification(AComponent, AOperation);
  if (AOperation != opRemove || AComponent != FArea) return;
  Finish();
  FArea = nullptr;
  FWatch->FPeer = nullptr;
  UpdateWatch();
}

void TPointerMove::SetModifierPickUp(bool AValue) {
  FModifierPickUp = AValue;
  UpdateWatch();
}

void TPointerMove::UpdateWatch() {
  const bool pickUp = FModifierPickUp && FWatch->FPeer != nullptr;
  FWatch->SetInstalled(pickUp || FState != csIdle || FWatch->FSwallow != Qt::NoButton);
}

void TPointerMove::Press(int X, int Y) {
  if (FState != csIdle || FWatch->FPeer == nullptr) return;
  FState = csPending;
  FPressX = X;
  FPressY = Y;
  UpdateWatch();
}

void TPointerMove::Arm() {
  if (Active() || FWatch->FPeer == nullptr) return;
  Begin(csArmed);
  if (FState != csArmed) return;
  const QPoint at = FWatch->AreaPos(QCursor::pos());
  Over(at.x(), at.y());
}

void TPointerMove::Cancel() {
  if (FState == csPending) {
    FState = csIdle;
    UpdateWatch();
  }
  if (Active()) EndWithCancel();
}

void TPointerMove::Begin(TState AState) {
  FState = AState;
  ++FCarry;
  FOverShown = false;
  if (!FCursorShown) {
    QApplication::setOverrideCursor(Qt::DragMoveCursor);
    FCursorShown = true;
  }
  UpdateWatch();
}

void TPointerMove::Finish() {
  if (FState == csIdle) return;
  FState = csIdle;
  ++FCarry;
  if (FCursorShown && qApp != nullptr) QApplication::restoreOverrideCursor();
  FCursorShown = false;
  HideWash();
  UpdateWatch();
}

void TPointerMove::Over(int X, int Y) {
  if (!FWatch->InArea({X, Y})) {
    HideWash();
    FOverShown = false;
    return;
  }
  // Qt may hand one move to a widget and its parents in turn.
  if (FOverShown && X == FOverX && Y == FOverY) return;
  FOverShown = true;
  FOverX = X;
  FOverY = Y;
  TRect wash;
  const unsigned carry = FCarry;
  if (!Raise([&] { OnOver(this, X, Y, wash); })) return;
  if (FCarry == carry && Active() && FWatch->FPeer != nullptr) ShowWash(wash);
}

void TPointerMove::Drop(int X, int Y) {
  Finish();
  Raise([&] { OnDrop(this, X, Y); });
}

bool TPointerMove::EndWithCancel() {
  Finish();
  return Raise([&] { OnCancel(this); });
}

void TPointerMove::ShowWash(const TRect& AWash) {
  if (AWash.Width() <= 0 || AWash.Height() <= 0) {
    HideWash();
    return;
  }
  QWidget* peer = FWatch->FPeer;
  if (peer == nullptr) return;
  if (FWatch->FWash == nullptr) FWatch->FWash = new TWash(peer);
  TWash* wash = FWatch->FWash;
  wash->setGeometry(AWash.Left, AWash.Top + FArea->PeerClientTop(), AWash.Width(), AWash.Height());
  // Controls put into the area since are stacked above it.
  if (peer->children().last() != wash) wash->raise();
  wash->show();
}

void TPointerMove::HideWash() {
  // Hidden at once; deleted once no event is on its way to it.
  if (TWash* wash = FWatch->FWash) {
    wash->hide();
    wash->deleteLater();
    FWatch->FWash = nullptr;
  }
}

void TPointerMove::CheckAreaShown() {
  QWidget* peer = FWatch->FPeer;
  if (Active() && (peer == nullptr || !peer->isVisible())) EndWithCancel();
}

bool TPointerMove::FilterEvent(QObject* AReceiver, QEvent* AEvent) {
  switch (AEvent->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
      // Mouse events reach a window before its widgets: only the widgets'
      // are taken, so the window keeps its own account of the buttons.
      return AReceiver->isWidgetType() && FWatch->FPeer != nullptr &&
             FilterMouse(AReceiver, AEvent);
    case QEvent::ContextMenu:
      // Follows a right press that ended the carry.
      return Active() || FWatch->FSwallow != Qt::NoButton;
    case QEvent::ShortcutOverride:
      // Claimed, so no shortcut runs; the key press that follows is eaten.
      if (!Active()) return false;
      AEvent->accept();
      return true;
    case QEvent::KeyPress:
      // Keys would go to the editor under the carry: Escape ends it, and
      // nothing typed meanwhile lands anywhere.
      if (!Active()) return false;
      if (static_cast<QKeyEvent*>(AEvent)->key() == Qt::Key_Escape) EndWithCancel();
      return true;
    case QEvent::KeyRelease:
    case QEvent::InputMethod:
      return Active();
    case QEvent::WindowDeactivate:
      if (Active() && FWatch->FPeer != nullptr && AReceiver == FWatch->FPeer->window())
        EndWithCancel();
      return false;
    case QEvent::ApplicationStateChange:
      if (Active() && QGuiApplication::applicationState() != Qt::ApplicationActive) EndWithCancel();
      return false;
    case QEvent::Hide:
      if (Active() && AReceiver == FWatch->FPeer) {
        QMetaObject::invokeMethod(
            qApp,
            [watch = QPointer<TPointerWatch>(FWatch)] {
              if (watch == nullptr || watch->FOwner == nullptr) return;
              const TPointerWatch::THold hold(watch);
              Dispatch([&] { watch->FOwner->CheckAreaShown(); });
            },
            Qt::QueuedConnection);
      }
      return false;
    case QEvent::Destroy:
      // The area's widget goes before the area tells us it went.
      if (AReceiver == FWatch->FPeer) {
        Finish();
        FWatch->FPeer = nullptr;
        UpdateWatch();
      }
      return false;
    default:
      return false;
  }
}

bool TPointerMove::FilterMouse(QObject* AReceiver, QEvent* AEvent) {
  auto* mouse = static_cast<QMouseEvent*>(AEvent);
  const QEvent::Type type = AEvent->type();
  const Qt::MouseButton button = mouse->button();
  TPointerWatch* watch = FWatch;
  if (type == QEvent::MouseButtonRelease) watch->FPicked = false;

  // What is left of a press kept from the controls, which may have ended
  // the carry: its moves and release are kept from them too.
  if (watch->FSwallow != Qt::NoButton) {
    const bool release = type == QEvent::MouseButtonRelease;
    const Qt::MouseButtons held = mouse->buttons() | (release ? button : Qt::NoButton);
    const bool eat = (release && (watch->FSwallow & button)) ||
                     (type == QEvent::MouseMove && (watch->FSwallow & held));
    watch->FSwallow &= held;
    if (release) watch->FSwallow &= ~Qt::MouseButtons(button);
    if (watch->FSwallow == Qt::NoButton) UpdateWatch();
    if (eat) {
      AEvent->accept();
      return true;
    }
  }

  const QPoint at = watch->AreaPos(mouse->globalPosition());
  switch (FState) {
    case csIdle:
      // A press right after a click comes as a double click: it picks up too.
      return (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
             TryPickUp(AReceiver, AEvent);
    case csPending:
      // A click so far: the press went where it went and nothing is eaten
      // until the pointer has moved far enough to make it a drag. A new
      // press means its release went by unseen (to another window, say).
      if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        FState = csIdle;
        UpdateWatch();
        return TryPickUp(AReceiver, AEvent);
      }
      if (!(mouse->buttons() & Qt::LeftButton)) {
        FState = csIdle;
        UpdateWatch();
        return false;
      }
      if (type != QEvent::MouseMove ||
          (at - QPoint(FPressX, FPressY)).manhattanLength() < QApplication::startDragDistance())
        return false;
      AEvent->accept();
      Begin(csCarrying);
      Over(at.x(), at.y());
      return true;
    case csCarrying:
    case csArmed:
      break;
  }

  AEvent->accept();
  if (type == QEvent::MouseMove) {
    // A carry whose button is no longer down lost the pointer on the way.
    if (FState == csCarrying && !(mouse->buttons() & Qt::LeftButton))
      EndWithCancel();
    else
      Over(at.x(), at.y());
    return true;
  }
  if (type == QEvent::MouseButtonRelease) {
    if (FState == csCarrying && button == Qt::LeftButton) {
      if (watch->InArea(at))
        Drop(at.x(), at.y());
      else
        EndWithCancel();
      return true;
    }
    // The release of a press the carry never saw (the one that armed it,
    // say) belongs to whoever had that press.
    return false;
  }
  // A press: the click that puts down when armed; any other ends the carry,
  // and the controls see none of it.
  if (FState == csArmed && button == Qt::LeftButton && watch->InArea(at)) {
    FState = csCarrying;
    return true;
  }
  watch->FSwallow |= button;
  EndWithCancel();
  return true;
}

bool TPointerMove::TryPickUp(QObject* AReceiver, QEvent* AEvent) {
  auto* mouse = static_cast<QMouseEvent*>(AEvent);
  TPointerWatch* watch = FWatch;
  QWidget* peer = watch->FPeer;
  auto* widget = static_cast<QWidget*>(AReceiver);
  if (!FModifierPickUp || !OnPickUp || mouse->button() != Qt::LeftButton ||
      (mouse->modifiers() & AnyModifier) != PickUpModifiers)
    return false;
  if (widget != peer && !peer->isAncestorOf(widget)) return false;
  if (watch->FPicked && watch->FPickStamp == mouse->timestamp() &&
      watch->FPickAt == mouse->globalPosition())
    return false;
  watch->FPicked = true;
  watch->FPickStamp = mouse->timestamp();
  watch->FPickAt = mouse->globalPosition();
  const QPoint at = watch->AreaPos(mouse->globalPosition());
  if (!watch->InArea(at)) return false;
  bool accept = true;
  if (!Raise([&] { OnPickUp(this, at.x(), at.y(), accept); })) return false;
  // The handler may have started something of its own meanwhile.
  if (!accept || FState != csIdle || watch->FPeer == nullptr) return false;
  mouse->accept();
  Begin(csCarrying);
  Over(at.x(), at.y());
  return true;
}
