// What assistive technology sees of the controls: roles, the windowless
// children of a plain peer, a splitter's value, and the events that tell of
// children, names and values changing.
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <new>
#include <optional>
#include <unordered_map>
#include <vector>

#include "widgets/Application.h"
#include "widgets/Form.h"
#include "widgets/Peer.h"
#include "widgets/Splitter.h"

namespace {

TAccessibleEventSink gSink = nullptr;

// Where AChild is among the children AList, or -1.
int IndexIn(const std::vector<QAccessibleInterface*>& AList, const QAccessibleInterface* AChild) {
  const auto found = std::find(AList.begin(), AList.end(), AChild);
  return found != AList.end() ? static_cast<int>(found - AList.begin()) : -1;
}

void Notify(QAccessibleEvent& AEvent) {
  if (gSink != nullptr) gSink(&AEvent);
  QAccessible::updateAccessibility(&AEvent);
}

QAccessible::Role ToQtRole(TAccessibleRole ARole, QAccessible::Role ADefault) {
  switch (ARole) {
    case arPane:
      return QAccessible::Pane;
    case arToolBar:
      return QAccessible::ToolBar;
    case arSeparator:
      return QAccessible::Separator;
    default:
      return ADefault;
  }
}

// Windowed controls are there as their widgets; windowless ones only with a
// role of their own.
bool Presented(const TControl* AControl) {
  return AControl->IsWindowed() || AControl->AccessibleRole() != arDefault;
}

std::unordered_map<const TControl*, QAccessible::Id>& AccessibleIds() {
  static std::unordered_map<const TControl*, QAccessible::Id> ids;
  return ids;
}

QAccessibleInterface* WindowlessAccessible(TControl* AControl);

// A windowed control inside windowless ones: its widget lies on the handle,
// but assistive technology meets it inside the control it belongs to.
bool Flat(const QWidget* AWidget) {
  const TControl* control = ControlOfPeer(AWidget);
  return control != nullptr && control->Parent() != nullptr && !control->Parent()->IsWindowed();
}

// What assistive technology sees inside AControl: windowed children and
// windowless containers first, as they lie, then the other windowless
// children; a windowless container without a role of its own is not there
// itself, its children are. AWidgetsToo: the windowed children as well
// (a windowed control's own widget lists those).
void PresentedChildren(const TWinControl* AControl, bool AWidgetsToo,
                       std::vector<QAccessibleInterface*>& AOut) {
  for (bool graphics : {false, true})
    for (int i = 0; i < AControl->ControlCount(); ++i) {
      TControl* c = AControl->Controls(i);
      if (c->HoldsControls() == graphics) continue;
      if (c->IsWindowed()) {
        if (AWidgetsToo) AOut.push_back(QAccessible::queryAccessibleInterface(c->Peer()));
      } else if (Presented(c)) {
        AOut.push_back(WindowlessAccessible(c));
      } else if (c->HoldsControls()) {
        PresentedChildren(static_cast<TWinControl*>(c), true, AOut);
      }
    }
  std::erase(AOut, nullptr);
}

// The interface AControl's assistive technology finds it in.
QAccessibleInterface* PresentedParent(const TControl* AControl) {
  for (TWinControl* c = AControl->Parent(); c != nullptr; c = c->Parent()) {
    if (c->IsWindowed()) return QAccessible::queryAccessibleInterface(c->Peer());
    if (Presented(c)) return WindowlessAccessible(c);
  }
  return nullptr;
}

QWidget* HandleWidget(const TControl* AControl) {
  const TWinControl* handle =
      AControl->Parent() != nullptr ? AControl->Parent()->HandleControl() : nullptr;
  return handle != nullptr ? handle->Peer() : nullptr;
}

// A windowless control, as a child of the control it lies in: a container
// with its children, a splitter with its value (the size of the control it
// resizes).
class TWindowlessAccessible : public QAccessibleInterface, public QAccessibleValueInterface {
 public:
  explicit TWindowlessAccessible(TControl* AControl)
      : FControl(AControl), FSplitter(dynamic_cast<TSplitter*>(AControl)) {}
  bool isValid() const override { return true; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    QWidget* handle = HandleWidget(FControl);
    return handle != nullptr ? handle->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override { return PresentedParent(FControl); }
  QAccessibleInterface* child(int AIndex) const override {
    const std::vector<QAccessibleInterface*> list = Children();
    return AIndex >= 0 && static_cast<size_t>(AIndex) < list.size()
               ? list[static_cast<size_t>(AIndex)]
               : nullptr;
  }
  int childCount() const override { return static_cast<int>(Children().size()); }
  int indexOfChild(const QAccessibleInterface* AChild) const override {
    return IndexIn(Children(), AChild);
  }
  QAccessibleInterface* childAt(int X, int Y) const override {
    for (QAccessibleInterface* c : Children())
      if (c->rect().contains(X, Y)) return c;
    return nullptr;
  }
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
    const TRect r = FControl->HandleRect();
    return {handle->mapToGlobal(QPoint(r.Left, r.Top)), QSize(r.Width(), r.Height())};
  }
  QAccessible::Role role() const override {
    return ToQtRole(FControl->AccessibleRole(),
                    FControl->HoldsControls() ? QAccessible::Client : QAccessible::NoRole);
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.invisible = !FControl->ShownOnHandle();
    if (FControl->HoldsControls()) {
      auto* container = static_cast<TWinControl*>(FControl);
      state.focusable = container->Focusable();
      state.focused = WindowlessFocus() == container;
    }
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType AType) override {
    if (AType == QAccessible::ValueInterface && FSplitter != nullptr)
      return static_cast<QAccessibleValueInterface*>(this);
    return nullptr;
  }

  QVariant currentValue() const override { return FSplitter->Position(); }
  QVariant minimumValue() const override { return FSplitter->MinPosition(); }
  QVariant maximumValue() const override { return FSplitter->MaxPosition(); }
  QVariant minimumStepSize() const override { return 1; }
  // Assistive technology moves the splitter the way a drag does.
  void setCurrentValue(const QVariant& AValue) override {
    Dispatch([&] { FSplitter->SetPosition(AValue.toInt()); });
  }

  TControl* Control() const { return FControl; }

 private:
  std::vector<QAccessibleInterface*> Children() const {
    std::vector<QAccessibleInterface*> list;
    if (FControl->HoldsControls())
      PresentedChildren(static_cast<TWinControl*>(FControl), true, list);
    return list;
  }
  TControl* FControl;
  TSplitter* FSplitter;
};

// A ready-made widget (an editor, a grid) of a control that may lie inside
// windowless ones: Qt's own interface for it, but found inside the control
// it belongs to rather than in the widget it lies on.
class TPlacedAccessible : public QAccessibleInterface {
 public:
  TPlacedAccessible(TControl* AControl, QAccessibleInterface* AOwn)
      : FControl(AControl), FOwn(AOwn), FOwnId(QAccessible::uniqueId(AOwn)) {}
  ~TPlacedAccessible() override { QAccessible::deleteAccessibleInterface(FOwnId); }
  bool isValid() const override { return FOwn->isValid(); }
  QObject* object() const override { return FOwn->object(); }
  QWindow* window() const override { return FOwn->window(); }
  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation AMatch) const override {
    return FOwn->relations(AMatch);
  }
  QAccessibleInterface* focusChild() const override { return FOwn->focusChild(); }
  QAccessibleInterface* childAt(int X, int Y) const override { return FOwn->childAt(X, Y); }
  QAccessibleInterface* parent() const override {
    const TWinControl* parent = FControl->Parent();
    return parent != nullptr && !parent->IsWindowed() ? PresentedParent(FControl) : FOwn->parent();
  }
  QAccessibleInterface* child(int AIndex) const override { return FOwn->child(AIndex); }
  int childCount() const override { return FOwn->childCount(); }
  int indexOfChild(const QAccessibleInterface* AChild) const override {
    return FOwn->indexOfChild(AChild);
  }
  QString text(QAccessible::Text AText) const override { return FOwn->text(AText); }
  void setText(QAccessible::Text AText, const QString& AValue) override {
    FOwn->setText(AText, AValue);
  }
  QRect rect() const override { return FOwn->rect(); }
  QAccessible::Role role() const override { return FOwn->role(); }
  QAccessible::State state() const override { return FOwn->state(); }
  QColor foregroundColor() const override { return FOwn->foregroundColor(); }
  QColor backgroundColor() const override { return FOwn->backgroundColor(); }
  void* interface_cast(QAccessible::InterfaceType AType) override {
    return FOwn->interface_cast(AType);
  }
  void virtual_hook(int AId, void* AData) override { FOwn->virtual_hook(AId, AData); }

 private:
  TControl* FControl;
  QAccessibleInterface* FOwn;
  QAccessible::Id FOwnId;
};

QAccessibleInterface* WindowlessAccessible(TControl* AControl) {
  auto& ids = AccessibleIds();
  auto found = ids.find(AControl);
  if (found != ids.end()) return QAccessible::accessibleInterface(found->second);
  auto* accessible = new TWindowlessAccessible(AControl);
  ids.emplace(AControl, QAccessible::registerAccessibleInterface(accessible));
  return accessible;
}

// A windowed control's widget: its child widgets, but those of controls
// inside windowless ones, which are found there; then its windowless
// children that assistive technology meets.
class TPeerAccessible : public QAccessibleWidget {
 public:
  explicit TPeerAccessible(TPlainPeer* APeer) : QAccessibleWidget(APeer), FPeer(APeer) {}
  int childCount() const override { return static_cast<int>(Children().size()); }
  QAccessibleInterface* child(int AIndex) const override {
    const std::vector<QAccessibleInterface*> list = Children();
    return AIndex >= 0 && static_cast<size_t>(AIndex) < list.size()
               ? list[static_cast<size_t>(AIndex)]
               : nullptr;
  }
  QAccessible::Role role() const override {
    const QAccessible::Role own = QAccessibleWidget::role();
    return FPeer != nullptr ? ToQtRole(FPeer->Control()->AccessibleRole(), own) : own;
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    if (FPeer != nullptr && FPeer->Control()->Focusable()) state.focusable = true;
    // The keys are in a windowless control on it, not in it.
    if (FPeer != nullptr && WindowlessFocus() != nullptr &&
        HandleWidget(WindowlessFocus()) == FPeer)
      state.focused = false;
    return state;
  }
  int indexOfChild(const QAccessibleInterface* AChild) const override {
    return IndexIn(Children(), AChild);
  }
  QAccessibleInterface* childAt(int X, int Y) const override {
    const std::vector<QAccessibleInterface*> list = Children();
    for (auto i = list.rbegin(); i != list.rend(); ++i)
      if ((*i)->rect().contains(X, Y)) return *i;
    return nullptr;
  }

 private:
  std::vector<QAccessibleInterface*> Children() const {
    std::vector<QAccessibleInterface*> list;
    if (FPeer == nullptr) return list;
    // As Qt lists a widget's children, less the flat ones.
    for (QObject* o : FPeer->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (w == nullptr || w->isWindow() || qobject_cast<QMenu*>(w) != nullptr ||
          w->objectName() == QLatin1String("qt_rubberband") || Flat(w))
        continue;
      if (QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w))
        list.push_back(accessible);
    }
    PresentedChildren(FPeer->Control(), false, list);
    return list;
  }
  QPointer<TPlainPeer> FPeer;
};

// What the program tells a screen reader: a notification, which screen
// readers speak when it appears. It shows nothing (no size, no text of its
// own) and goes again after a while, so the window's tree keeps only what
// is still news.
class TAnnouncer : public QLabel {
 public:
  explicit TAnnouncer(QWidget* AWindow) : QLabel(AWindow) {
    setGeometry(0, 0, 0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    FTimer.setSingleShot(true);
    QObject::connect(&FTimer, &QTimer::timeout, this, &QWidget::hide);
  }
  void Say(const QString& AText) {
    // Hidden first, so each announcement appears anew.
    hide();
    setAccessibleName(AText);
    show();
    FTimer.start(5000);
  }

 private:
  QTimer FTimer;
};

QAccessibleInterface* PeerAccessible(const QString& /*AClassName*/, QObject* AObject) {
  if (auto* peer = dynamic_cast<TPlainPeer*>(AObject)) return new TPeerAccessible(peer);
  if (auto* announcer = dynamic_cast<TAnnouncer*>(AObject))
    return new QAccessibleWidget(announcer, QAccessible::Notification);
  return nullptr;
}

void Say(const std::string& AText) {
  if (!QAccessible::isActive() || AText.empty()) return;
  // Told in the window the user works in (a second window has its own).
  QWidget* window = QApplication::activeWindow();
  // Not into a dialog's own layout: the window it belongs to.
  if (window != nullptr && qobject_cast<QDialog*>(window) != nullptr)
    window = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
  if (window == nullptr && Application != nullptr && Application->MainForm() != nullptr)
    window = Application->MainForm()->Peer();
  if (window == nullptr) return;
  InstallAccessibleFactory();
  auto* announcer = ChildOfClass<TAnnouncer>(window);
  if (announcer == nullptr) announcer = new TAnnouncer(window);
  announcer->Say(QString::fromStdString(AText));
}

// A running command: the focus events Qt raises meanwhile are held back, and
// what the command announces waits for its end.
struct TCommand {
  int Depth = 0;
  bool Holding = false;
  bool FocusMoved = false;
  QPointer<QWidget> FocusAtStart;
  const TWinControl* HeldAtStart = nullptr;  // compared, never used
  QAccessible::UpdateHandler Previous = nullptr;
  std::string Said;
};

TCommand& Command() {
  static TCommand command;
  return command;
}

// Everything but the focus goes on as usual.
void HoldFocus(QAccessibleEvent* AEvent) {
  TCommand& command = Command();
  if (AEvent->type() == QAccessible::Focus) {
    command.FocusMoved = true;
    return;
  }
  const QAccessible::UpdateHandler own = QAccessible::installUpdateHandler(command.Previous);
  QAccessible::updateAccessibility(AEvent);
  QAccessible::installUpdateHandler(own);
}

}  // namespace

void AccessibleFocusOnCurrentItem(QWidget* AWidget) {
  if (!QAccessible::isActive()) return;
  // On a windowless control the widget holds the keys for.
  if (TWinControl* held = WindowlessFocus(); held != nullptr && HandleWidget(held) == AWidget) {
    QAccessibleEvent event(WindowlessAccessible(held), QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
    return;
  }
  QAccessibleEvent event(AWidget, QAccessible::Focus);
  // In a table, the focus is on its current cell: that is what the user
  // works on, and its name says where it lies.
  auto* view = qobject_cast<QAbstractItemView*>(AWidget);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(AWidget);
  if (view != nullptr && view->currentIndex().isValid() && accessible != nullptr &&
      accessible->tableInterface() != nullptr) {
    const QModelIndex current = view->currentIndex();
    if (QAccessibleInterface* cell =
            accessible->tableInterface()->cellAt(current.row(), current.column())) {
      const int index = accessible->indexOfChild(cell);
      if (index >= 0) event.setChild(index);
    }
  }
  QAccessible::updateAccessibility(&event);
}

void AccessibleFocusOnWindowless(TWinControl* AControl) {
  if (!AccessibleListening()) return;
  QAccessibleEvent event(WindowlessAccessible(AControl), QAccessible::Focus);
  Notify(event);
}

bool AccessibleCommandRunning() { return Command().Depth > 0; }

TCommandScope::TCommandScope() {
  TCommand& command = Command();
  if (command.Depth++ > 0 || !QAccessible::isActive()) return;
  command.Holding = true;
  command.FocusMoved = false;
  command.FocusAtStart = QApplication::focusWidget();
  command.HeldAtStart = WindowlessFocus();
  command.Previous = QAccessible::installUpdateHandler(HoldFocus);
}

TCommandScope::~TCommandScope() {
  TCommand& command = Command();
  if (--command.Depth > 0) return;
  if (command.Holding) {
    command.Holding = false;
    QAccessible::installUpdateHandler(command.Previous);
    QWidget* focus = QApplication::focusWidget();
    if (command.FocusMoved && focus != nullptr &&
        (focus != command.FocusAtStart || WindowlessFocus() != command.HeldAtStart))
      AccessibleFocusOnCurrentItem(focus);
  }
  const std::string said = std::move(command.Said);
  command.Said.clear();
  Say(said);
}

void TApplication::Announce(const std::string& AText) {
  FLastAnnouncement = AText;
  TCommand& command = Command();
  if (command.Depth == 0) {
    Say(AText);
    return;
  }
  if (!command.Said.empty()) command.Said += ' ';
  command.Said += AText;
}

QAccessibleInterface* AccessibleInterface(TControl* AControl) {
  if (AControl->IsWindowed()) return QAccessible::queryAccessibleInterface(AControl->Peer());
  return WindowlessAccessible(AControl);
}

namespace {
QAccessible::UpdateHandler gBeforeRedirect = nullptr;

// Qt tells of the focus on a widget; where the widget holds the keys for a
// windowless control, it is that control that has them.
void RedirectFocus(QAccessibleEvent* AEvent) {
  QAccessibleEvent* told = AEvent;
  std::optional<QAccessibleEvent> redirected;
  if (AEvent->type() == QAccessible::Focus && AEvent->object() != nullptr)
    if (TWinControl* held = WindowlessFocus();
        held != nullptr && HandleWidget(held) == AEvent->object())
      told = &redirected.emplace(WindowlessAccessible(held), QAccessible::Focus);
  if (gBeforeRedirect != nullptr) {
    gBeforeRedirect(told);
    return;
  }
  QAccessible::installUpdateHandler(nullptr);
  QAccessible::updateAccessibility(told);
  QAccessible::installUpdateHandler(RedirectFocus);
}
}  // namespace

void PlaceAccessibleInControl(TWinControl* AControl) {
  // Qt's factory answers for its widget classes before any of ours: its
  // interface is made first, then this one registered for the same widget
  // takes its place as the one Qt hands out (the later registration of an
  // object wins); it keeps Qt's and lets it go with itself.
  QAccessibleInterface* own = QAccessible::queryAccessibleInterface(AControl->Peer());
  if (own == nullptr) return;
  QAccessible::registerAccessibleInterface(new TPlacedAccessible(AControl, own));
}

void InstallAccessibleFactory() {
  static const bool installed =
      (QAccessible::installFactory(PeerAccessible),
       gBeforeRedirect = QAccessible::installUpdateHandler(RedirectFocus), true);
  (void)installed;
}

bool AccessibleListening() { return gSink != nullptr || QAccessible::isActive(); }

namespace {
void AssistiveTechnologyStarted() {
  // Grids drawn as pictures make the tables it will read.
  WakeSketchedGrids();
  if (Application != nullptr) Dispatch([] { Application->OnAssistiveTechnology(Application); });
}

class TActivation : public QAccessible::ActivationObserver {
 public:
  void accessibilityActiveChanged(bool AActive) override {
    if (AActive) AssistiveTechnologyStarted();
  }
};
}  // namespace

void WatchAssistiveTechnology() {
  // Kept for the process's life and never destroyed, since Qt's list of
  // observers may outlive any destructor of ours; built in place so that it
  // is no heap block a leak check would count.
  alignas(TActivation) static unsigned char storage[sizeof(TActivation)];
  static const bool installed =
      (QAccessible::installActivationObserver(new (storage) TActivation), true);
  (void)installed;
}

void SetAccessibleEventSink(TAccessibleEventSink ASink) {
  const bool started = gSink == nullptr && ASink != nullptr && !QAccessible::isActive();
  gSink = ASink;
  if (started) AssistiveTechnologyStarted();
}

// Qt's bridge turns a child created into the parent's children-changed
// "add", and one destroyed into "remove"; both are told while the child is
// still the parent's.
void AccessibleChildAdded(TControl* AControl) {
  if (!AccessibleListening() || AControl->Parent() == nullptr || !Presented(AControl)) return;
  QAccessibleEvent event(AccessibleInterface(AControl), QAccessible::ObjectCreated);
  Notify(event);
}

void AccessibleChildRemoving(TControl* AControl) {
  if (!AccessibleListening() || AControl->Parent() == nullptr || !Presented(AControl)) return;
  // A windowless control nobody ever asked about is news to nobody.
  if (!AControl->IsWindowed() && !AccessibleIds().contains(AControl)) return;
  QAccessibleEvent event(AccessibleInterface(AControl), QAccessible::ObjectDestroyed);
  Notify(event);
}

void AccessibleNameChanged(TControl* AControl) {
  if (AControl->IsWindowed() || !AccessibleListening() || AControl->Parent() == nullptr ||
      !Presented(AControl))
    return;
  QAccessibleEvent event(AccessibleInterface(AControl), QAccessible::NameChanged);
  Notify(event);
}

void AccessibleValueChanged(TControl* AControl) {
  if (!AccessibleListening() || AControl->Parent() == nullptr || !Presented(AControl)) return;
  QAccessibleInterface* accessible = AccessibleInterface(AControl);
  if (accessible->valueInterface() == nullptr) return;
  QAccessibleValueChangeEvent event(accessible, accessible->valueInterface()->currentValue());
  Notify(event);
}

void ForgetWindowlessAccessible(TControl* AControl) {
  auto& ids = AccessibleIds();
  if (auto found = ids.find(AControl); found != ids.end()) {
    QAccessible::deleteAccessibleInterface(found->second);
    ids.erase(found);
  }
}
