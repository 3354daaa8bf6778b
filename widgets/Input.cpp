// Keyboard focus and the input of controls built on ready-made Qt widgets.
#include <QApplication>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWheelEvent>
#include <algorithm>
#include <vector>

#include "widgets/Peer.h"

// Qt hands the keyboard focus of a widget that hides or goes to the next one
// in the tab chain, which may be another editor that then thinks the user
// came into it. The focus stays with the window instead.
void KeepFocusInWindow(QWidget* APeer) {
  if (APeer == nullptr) return;
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || (focus != APeer && !APeer->isAncestorOf(focus))) return;
  QWidget* window = APeer->window();
  if (window != APeer) window->setFocus(Qt::OtherFocusReason);
}

// --- TWinControl focus -------------------------------------------------------

namespace {
// The windowless container the keys are meant for while its handle has the
// keyboard focus.
TWinControl* gWindowlessFocus = nullptr;
// Its handle's widget, as it was when it took the keys (a control that goes
// to another window gives them up).
QPointer<QWidget> gWindowlessFocusHandle;

QWidget* HandlePeer(const TWinControl* AControl) {
  const TWinControl* handle = AControl->HandleControl();
  return handle != nullptr ? handle->Peer() : nullptr;
}

bool Inside(const TControl* AControl, const TControl* AAncestor) {
  for (const TControl* c = AControl; c != nullptr; c = c->Parent())
    if (c == AAncestor) return true;
  return false;
}

// The control whose peer holds AWidget (an editor's viewport, a grid's
// cell editor), or null.
TControl* ControlHolding(const QWidget* AWidget) {
  for (const QWidget* w = AWidget; w != nullptr; w = w->isWindow() ? nullptr : w->parentWidget())
    if (TControl* control = ControlOfPeer(w)) return control;
  return nullptr;
}
}  // namespace

TWinControl* WindowlessFocus() {
  if (gWindowlessFocus == nullptr) return nullptr;
  // Where its window gives the keys, active or not.
  const QWidget* handle = gWindowlessFocusHandle;
  return handle != nullptr && handle->window()->focusWidget() == handle ? gWindowlessFocus
                                                                        : nullptr;
}

void KeepFocusOutOf(TWinControl* AControl) {
  if (gWindowlessFocus != nullptr && Inside(gWindowlessFocus, AControl)) {
    QWidget* handle = gWindowlessFocusHandle;
    gWindowlessFocus = nullptr;
    gWindowlessFocusHandle = nullptr;
    if (handle != nullptr && QApplication::focusWidget() == handle) {
      QWidget* window = handle->window();
      if (window != handle) window->setFocus(Qt::OtherFocusReason);
    }
  }
  // An editor or grid inside it.
  const TControl* holder = ControlHolding(QApplication::focusWidget());
  if (holder != nullptr && holder != AControl && Inside(holder, AControl))
    KeepFocusInWindow(holder->Peer());
}

void TWinControl::SetFocus() {
  SyncPeers();
  QWidget* peer = Peer();
  QWidget* focus = QApplication::focusWidget();
  if (peer == nullptr) {
    // Its handle takes the keyboard on its behalf.
    QWidget* handle = HandlePeer(this);
    if (handle == nullptr || (focus == handle && gWindowlessFocus == this)) return;
    if (focus != nullptr) QGuiApplication::inputMethod()->commit();
    gWindowlessFocus = this;
    gWindowlessFocusHandle = handle;
    if (focus != handle)
      handle->setFocus(Qt::OtherFocusReason);
    else
      AccessibleFocusOnWindowless(this);
    return;
  }
  if (focus == peer || (focus != nullptr && peer->isAncestorOf(focus))) return;
  // A composition in progress belongs where the user was typing: it is
  // committed there before the keyboard moves on.
  if (focus != nullptr) QGuiApplication::inputMethod()->commit();
  peer->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const {
  if (Peer() != nullptr) {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == Peer() || Peer()->isAncestorOf(focus));
  }
  // Where its window gives the keys: to it, or to a control inside it.
  const QWidget* handle = HandlePeer(this);
  const QWidget* focus = handle != nullptr ? handle->window()->focusWidget() : nullptr;
  if (focus == nullptr) return false;
  if (const TWinControl* held = WindowlessFocus(); held != nullptr && Inside(held, this))
    return true;
  const TControl* holder = ControlHolding(focus);
  return holder != nullptr && holder != HandleControl() && Inside(holder, this);
}

void TWinControl::PeerEnter() {
  Dispatch([&] { OnEnter(this); });
}

// --- Input of controls built on ready-made Qt widgets ---------------------

namespace {
// The widget that had the keyboard focus before the change being delivered:
// Qt tells of a change only after its focus events.
QPointer<QWidget>& PreviousFocus() {
  static QPointer<QWidget> previous;
  return previous;
}

void TrackFocus() {
  static QPointer<QObject> tracker;
  if (tracker != nullptr || qApp == nullptr) return;
  tracker = new QObject(qApp);
  QObject::connect(qApp, &QApplication::focusChanged, tracker,
                   [](QWidget* /*AOld*/, QWidget* ANow) { PreviousFocus() = ANow; });
  PreviousFocus() = QApplication::focusWidget();
}

}  // namespace

namespace {
// A control the keyboard can come to by Tab.
bool TabStop(const TWinControl* AControl) {
  const QWidget* peer = AControl->Peer();
  return peer != nullptr && (peer->focusPolicy() & Qt::TabFocus) && peer->isVisible() &&
         peer->isEnabled();
}

// The shown windowed controls of AWindow's tree in tab order: the children of
// a control by their tab order where they have one, the others after them as
// they lie, top to bottom, then left to right. Walked without recursion, as
// a tree of panes may be thousands of levels deep.
std::vector<TWinControl*> TabSequence(TWinControl* AWindow) {
  std::vector<TWinControl*> sequence;
  std::vector<TWinControl*> todo{AWindow};
  std::vector<TWinControl*> children;
  while (!todo.empty()) {
    TWinControl* control = todo.back();
    todo.pop_back();
    sequence.push_back(control);
    children.clear();
    for (int i = 0; i < control->ControlCount(); ++i)
      if (auto* child = dynamic_cast<TWinControl*>(control->Controls(i));
          child != nullptr && child->Visible())
        children.push_back(child);
    std::stable_sort(children.begin(), children.end(), [](const auto* a, const auto* b) {
      const bool ordered = a->TabOrder() >= 0, otherOrdered = b->TabOrder() >= 0;
      if (ordered != otherOrdered) return ordered;
      if (ordered) return a->TabOrder() < b->TabOrder();
      return a->Top() != b->Top() ? a->Top() < b->Top() : a->Left() < b->Left();
    });
    todo.insert(todo.end(), children.rbegin(), children.rend());
  }
  return sequence;
}
}  // namespace

namespace {
// The keyboard to the control after (or before) AFrom in ASequence that can
// take it, round and round; false if there is none.
bool FocusAfter(const std::vector<TWinControl*>& ASequence, size_t AFrom, bool AForward) {
  const size_t count = ASequence.size();
  size_t i = AFrom;
  for (size_t step = 1; step < count; ++step) {
    i = AForward ? (i + 1) % count : (i + count - 1) % count;
    if (TabStop(ASequence[i])) {
      ASequence[i]->Peer()->setFocus(AForward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  return false;
}
}  // namespace

// Qt's focus chain keeps widgets in the order they were made or came into
// the window: a control that waits outside the window on its way to another
// parent (content brought back by an undo) lands at the chain's end, and
// Ctrl+Tab skipped it. The order comes from the controls instead.
void LeaveForNextInChain(TWinControl* AControl, bool AForward) {
  SyncPeers();
  TWinControl* window = AControl;
  while (window->Parent() != nullptr) window = window->Parent();
  const std::vector<TWinControl*> sequence = TabSequence(window);
  const auto at = std::find(sequence.begin(), sequence.end(), AControl);
  if (at != sequence.end())
    FocusAfter(sequence, static_cast<size_t>(at - sequence.begin()), AForward);
}

bool FocusNextInWindow(TWinControl* AWindow, bool AForward) {
  SyncPeers();
  const std::vector<TWinControl*> sequence = TabSequence(AWindow);
  // The innermost control that has the keyboard comes last in the sequence.
  const QWidget* focus = QApplication::focusWidget();
  const TWinControl* held = WindowlessFocus();
  size_t from = 0;
  for (size_t i = 0; i < sequence.size() && focus != nullptr; ++i) {
    const QWidget* peer = sequence[i]->Peer();
    if (peer != nullptr ? peer == focus || peer->isAncestorOf(focus) : sequence[i] == held)
      from = i;
  }
  return FocusAfter(sequence, from, AForward);
}

namespace {

// Pointer input a stand-in hands on to the widget that took its place, and
// the widget that took the press.
bool gHandingOn = false;
QPointer<QWidget> gHandedPress;

// Watches a peer and every widget inside it (an editor's viewport, a grid's
// headings and cell editor): a mouse press anywhere raises the control's
// OnMouseDown, focus coming in from outside raises its OnEnter, and
// Ctrl+Tab / Ctrl+Shift+Tab leave it (editors and grids use Tab themselves).
class TInputWatch : public QObject {
 public:
  TInputWatch(TWinControl* AControl) : QObject(AControl->Peer()), FControl(AControl) {
    TrackFocus();
    Watch(AControl->Peer());
  }

  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    switch (AEvent->type()) {
      case QEvent::ChildAdded:
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(AEvent)->child()))
          Watch(child);
        break;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick: {
        if (gHandingOn) break;
        // A press the child ignores travels on to its parent: report it once.
        auto* mouse = static_cast<QMouseEvent*>(AEvent);
        if (mouse == FLastPress && mouse->timestamp() == FLastStamp) break;
        FLastPress = mouse;
        FLastStamp = mouse->timestamp();
        auto* widget = static_cast<QWidget*>(AObject);
        const QPoint pos = widget->mapTo(FControl->Peer(), mouse->position().toPoint());
        ForwardMousePress(FControl, mouse, pos);
        break;
      }
      case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(AEvent);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!tab || !(key->modifiers() & Qt::ControlModifier)) break;
        const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        LeaveForNextInChain(FControl, !back);
        return true;
      }
      case QEvent::Enter:
        // The pointer came from the handle it lies on: what it rested on
        // there no longer has it (the handle hears of no leaving).
        if (AObject == FControl->Peer()) PointerLeftWindowless(FControl->Peer()->parentWidget());
        break;
      case QEvent::FocusIn: {
        // Only focus that comes from outside the control counts; coming back
        // with its window or from a popup menu does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(AEvent)->reason();
        const QWidget* before = PreviousFocus();
        QWidget* peer = FControl->Peer();
        const bool fromInside = before != nullptr && (before == peer || peer->isAncestorOf(before));
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !fromInside)
          FControl->PeerEnter();
        break;
      }
      default:
        break;
    }
    return false;
  }

 private:
  void Watch(QWidget* AWidget) {
    AWidget->installEventFilter(this);
    for (QWidget* child : AWidget->findChildren<QWidget*>()) child->installEventFilter(this);
  }

  TWinControl* FControl;
  const QMouseEvent* FLastPress = nullptr;
  quint64 FLastStamp = 0;
};
}  // namespace

void WatchInput(TWinControl* AControl) {
  delete AControl->FInputWatch;
  AControl->FInputWatch = new TInputWatch(AControl);
}

void HandOnPointer(QWidget* AInto, QEvent* AEvent) {
  auto targetAt = [AInto](QPoint APos) {
    QWidget* child = AInto->childAt(APos);
    return child != nullptr ? child : AInto;
  };
  gHandingOn = true;
  switch (AEvent->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(AEvent);
      const QPoint pos = mouse->position().toPoint();
      const bool press = AEvent->type() == QEvent::MouseButtonPress ||
                         AEvent->type() == QEvent::MouseButtonDblClick;
      QWidget* target = !press && gHandedPress != nullptr ? gHandedPress.data() : targetAt(pos);
      if (press) gHandedPress = target;
      QMouseEvent copy(mouse->type(), target->mapFrom(AInto, mouse->position()),
                       mouse->scenePosition(), mouse->globalPosition(), mouse->button(),
                       mouse->buttons(), mouse->modifiers(), mouse->pointingDevice());
      QCoreApplication::sendEvent(target, &copy);
      AEvent->setAccepted(copy.isAccepted());
      if (mouse->buttons() == Qt::NoButton) gHandedPress = nullptr;
      break;
    }
    case QEvent::Wheel: {
      auto* wheel = static_cast<QWheelEvent*>(AEvent);
      QWidget* target = targetAt(wheel->position().toPoint());
      QWheelEvent copy(target->mapFrom(AInto, wheel->position()), wheel->globalPosition(),
                       wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                       wheel->modifiers(), wheel->phase(), wheel->inverted(), wheel->source(),
                       wheel->pointingDevice());
      QCoreApplication::sendEvent(target, &copy);
      AEvent->setAccepted(copy.isAccepted());
      break;
    }
    case QEvent::ContextMenu: {
      auto* menu = static_cast<QContextMenuEvent*>(AEvent);
      QWidget* target = targetAt(menu->pos());
      QContextMenuEvent copy(menu->reason(), target->mapFrom(AInto, menu->pos()), menu->globalPos(),
                             menu->modifiers());
      QCoreApplication::sendEvent(target, &copy);
      AEvent->setAccepted(copy.isAccepted());
      break;
    }
    default:
      break;
  }
  gHandingOn = false;
}
