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
#include <QPointer>
#include <QTimer>
#include <new>
#include <unordered_map>
#include <vector>

#include "widgets/Application.h"
#include "widgets/Form.h"
#include "widgets/Peer.h"
#include "widgets/Splitter.h"

namespace {

TAccessibleEventSink gSink = nullptr;

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

std::unordered_map<const TGraphicControl*, QAccessible::Id>& AccessibleIds() {
  static std::unordered_map<const TGraphicControl*, QAccessible::Id> ids;
  return ids;
}

// A windowless control, as a child of its parent's widget. A splitter's
// value is the size of the control it resizes.
class TWindowlessAccessible : public QAccessibleInterface, public QAccessibleValueInterface {
 public:
  explicit TWindowlessAccessible(TGraphicControl* AControl)
      : FControl(AControl), FSplitter(dynamic_cast<TSplitter*>(AControl)) {}
  bool isValid() const override { return true; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    QWidget* peer = ParentPeer();
    return peer != nullptr ? peer->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    QWidget* peer = ParentPeer();
    return peer != nullptr ? QAccessible::queryAccessibleInterface(peer) : nullptr;
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
    const TRect r = FControl->HandleRect();
    return {handle->mapToGlobal(QPoint(r.Left, r.Top)), QSize(r.Width(), r.Height())};
  }
  QAccessible::Role role() const override {
    return ToQtRole(FControl->AccessibleRole(), QAccessible::NoRole);
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.invisible = !FControl->Visible();
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

  TGraphicControl* Control() const { return FControl; }

 private:
  QWidget* ParentPeer() const {
    return FControl->Parent() != nullptr ? FControl->Parent()->Peer() : nullptr;
  }
  TGraphicControl* FControl;
  TSplitter* FSplitter;
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
  QAccessible::Role role() const override {
    const QAccessible::Role own = QAccessibleWidget::role();
    return FPeer != nullptr ? ToQtRole(FPeer->Control()->AccessibleRole(), own) : own;
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
      if (!c->IsWindowed() && Presented(c)) list.push_back(static_cast<TGraphicControl*>(c));
    }
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

bool AccessibleCommandRunning() { return Command().Depth > 0; }

TCommandScope::TCommandScope() {
  TCommand& command = Command();
  if (command.Depth++ > 0 || !QAccessible::isActive()) return;
  command.Holding = true;
  command.FocusMoved = false;
  command.FocusAtStart = QApplication::focusWidget();
  command.Previous = QAccessible::installUpdateHandler(HoldFocus);
}

TCommandScope::~TCommandScope() {
  TCommand& command = Command();
  if (--command.Depth > 0) return;
  if (command.Holding) {
    command.Holding = false;
    QAccessible::installUpdateHandler(command.Previous);
    QWidget* focus = QApplication::focusWidget();
    if (command.FocusMoved && focus != nullptr && focus != command.FocusAtStart)
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
  return WindowlessAccessible(static_cast<TGraphicControl*>(AControl));
}

void InstallAccessibleFactory() {
  static const bool installed = (QAccessible::installFactory(PeerAccessible), true);
  (void)installed;
}

bool AccessibleListening() { return gSink != nullptr || QAccessible::isActive(); }

namespace {
void AssistiveTechnologyStarted() {
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
  if (!AControl->IsWindowed() && !AccessibleIds().contains(static_cast<TGraphicControl*>(AControl)))
    return;
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

void ForgetWindowlessAccessible(TGraphicControl* AControl) {
  auto& ids = AccessibleIds();
  if (auto found = ids.find(AControl); found != ids.end()) {
    QAccessible::deleteAccessibleInterface(found->second);
    ids.erase(found);
  }
}
