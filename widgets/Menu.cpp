#include "widgets/Menu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QShortcut>
#include <QStyleFactory>
#include <QTextEdit>
#include <algorithm>

#include "widgets/Form.h"
#include "widgets/Peer.h"
#include "widgets/StringGrid.h"

// --- TMenuItem ----------------------------------------------------------------

struct TMenuItem::TPeers {
  // A plain entry, or the entry of the menu it opens (the menu's own
  // action, so assistive technology finds the menu under its entry).
  QPointer<QAction> Action;
  QPointer<QMenu> Menu;
  // The bar or menu the entry is shown in.
  QPointer<QWidget> Container;
  // Where the items go instead of a menu of their own (a main menu's bar).
  QPointer<QWidget> ItemsIn;
};

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FPeers(std::make_unique<TPeers>()) {
  FPeers->Action = new QAction;
  QObject::connect(FPeers->Action, &QAction::triggered, FPeers->Action,
                   [this] { Dispatch([this] { Click(); }); });
}

TMenuItem::~TMenuItem() {
  // Its items go with it.
  Clear();
  if (FParent != nullptr) {
    auto& siblings = FParent->FItems;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  Detach();
  if (FPeers->Menu != nullptr)
    delete FPeers->Menu;
  else
    delete FPeers->Action;
}

QAction* TMenuItem::Peer() const { return FPeers->Action; }
QMenu* TMenuItem::Submenu() const { return FPeers->Menu; }

void TMenuItem::SetCaption(const std::string& ACaption) {
  FCaption = ACaption;
  const bool separator = ACaption == "-";
  FPeers->Action->setSeparator(separator);
  FPeers->Action->setText(separator ? QString() : QString::fromStdString(ACaption));
  if (FPeers->Menu != nullptr) FPeers->Menu->setTitle(FPeers->Action->text());
}

void TMenuItem::SetShortCut(TShortCut AShortCut) {
  FShortCut = AShortCut;
  FPeers->Action->setShortcut(ToKeySequence(AShortCut));
  // Shown in the menu and told to assistive technology, but live only while
  // the bar itself has the keyboard, which it never keeps: the window's
  // actions and the editors own the keys, and two owners of one key would
  // leave it dead (Qt calls that ambiguous).
  FPeers->Action->setShortcutContext(Qt::WidgetShortcut);
}

void TMenuItem::SetEnabled(bool AEnabled) {
  FEnabled = AEnabled;
  FPeers->Action->setEnabled(AEnabled);
}

void TMenuItem::SetHint(const std::string& AHint) {
  FHint = AHint;
  FPeers->Action->setStatusTip(QString::fromStdString(AHint));
}

void TMenuItem::MakeSubmenu() {
  if (FPeers->Menu != nullptr) return;
  auto* menu = new QMenu;
  QAction* entry = menu->menuAction();
  entry->setText(FPeers->Action->text());
  entry->setEnabled(FEnabled);
  entry->setStatusTip(FPeers->Action->statusTip());
  entry->setShortcut(FPeers->Action->shortcut());
  entry->setShortcutContext(FPeers->Action->shortcutContext());
  menu->setTitle(entry->text());
  QObject::connect(menu, &QMenu::aboutToShow, menu,
                   [this] { Dispatch([this] { OnPopup(this); }); });
  // In place of the plain entry, where that was shown already.
  QWidget* container = FPeers->Container;
  if (container != nullptr) {
    container->insertAction(FPeers->Action, entry);
    container->removeAction(FPeers->Action);
  }
  delete FPeers->Action;
  FPeers->Action = entry;
  FPeers->Menu = menu;
}

void TMenuItem::Add(TMenuItem* AItem) {
  if (AItem->FParent != nullptr) {
    auto& siblings = AItem->FParent->FItems;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), AItem), siblings.end());
    AItem->Detach();
  }
  if (FPeers->ItemsIn == nullptr) MakeSubmenu();
  AItem->FParent = this;
  FItems.push_back(AItem);
  AItem->AttachTo(FPeers->ItemsIn != nullptr ? FPeers->ItemsIn.data() : FPeers->Menu.data());
}

void TMenuItem::ShowItemsIn(QWidget* AContainer) { FPeers->ItemsIn = AContainer; }

void TMenuItem::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

void TMenuItem::AttachTo(QWidget* AContainer) {
  Detach();
  FPeers->Container = AContainer;
  if (AContainer != nullptr) AContainer->addAction(FPeers->Action);
}

void TMenuItem::Detach() {
  if (FPeers->Container != nullptr && FPeers->Action != nullptr)
    FPeers->Container->removeAction(FPeers->Action);
  FPeers->Container = nullptr;
}

void TMenuItem::Click() {
  if (FEnabled) OnClick(this);
}

// --- TMainMenu ----------------------------------------------------------------

namespace {
// The widget that had the keyboard before a menu took it: what the Edit
// menu's commands act on.
QPointer<QWidget> gEditTarget;

bool IsMenu(const QWidget* AWidget) {
  return qobject_cast<const QMenuBar*>(AWidget) != nullptr ||
         qobject_cast<const QMenu*>(AWidget) != nullptr;
}

void WatchEditTarget() {
  static bool watching = false;
  if (watching || qApp == nullptr) return;
  watching = true;
  QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* ANow) {
    if (ANow != nullptr && !IsMenu(ANow)) gEditTarget = ANow;
  });
}

QWidget* EditTarget() {
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr && !IsMenu(focus) ? focus : gEditTarget.data();
}

// A bar that never holds the keyboard by itself. Qt's bar takes the focus
// when a menu opened by Alt and a letter is closed with Escape, and keeps
// it: the entries' keys would then be live beside the window's own
// bindings of the same keys, and Qt runs neither of two owners of a key.
class TBarStyle : public QProxyStyle {
 public:
  TBarStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}
  int styleHint(StyleHint AHint, const QStyleOption* AOption, const QWidget* AWidget,
                QStyleHintReturn* AReturn) const override {
    if (AHint == SH_MenuBar_AltKeyNavigation) return 0;
    return QProxyStyle::styleHint(AHint, AOption, AWidget, AReturn);
  }
};
}  // namespace

struct TMainMenu::TPeers {
  QPointer<QMenuBar> Bar;
  QPointer<QShortcut> OpenKey;
  int Height = 0;
};

TMainMenu::TMainMenu(TForm* AOwner)
    : TComponent(AOwner), FPeers(std::make_unique<TPeers>()), FForm(AOwner) {
  WatchEditTarget();
  QWidget* window = AOwner->Peer();
  auto* bar = new QMenuBar(window);
  auto* style = new TBarStyle;
  style->setParent(bar);
  bar->setStyle(style);
  // The desktop's menu font, not the form's.
  QFont font = QApplication::font();
  font.setResolveMask(QFont::AllPropertiesResolved);
  bar->setFont(font);
  bar->setAccessibleName(QStringLiteral("Menu bar"));
  // The bar's height does not wait for its menus: the form makes room for
  // it at once, and keeps that room as menus come and go.
  QAction probe(QStringLiteral("&Menu"));
  bar->addAction(&probe);
  FPeers->Height = bar->sizeHint().height();
  bar->removeAction(&probe);
  bar->show();
  FPeers->Bar = bar;
  FItems = new TMenuItem(this);
  FItems->ShowItemsIn(bar);
  // F10 opens the first menu, as on most desktops.
  auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
  f10->setContext(Qt::WindowShortcut);
  QObject::connect(f10, &QShortcut::activated, bar, [this] { Dispatch([this] { Open(); }); });
  FPeers->OpenKey = f10;
  AOwner->SetMenu(this);
}

TMainMenu::~TMainMenu() {
  if (FForm != nullptr && FForm->Menu() == this) FForm->SetMenu(nullptr);
  // The items leave the bar before it goes.
  delete FItems;
  delete FPeers->OpenKey;
  delete FPeers->Bar;
}

QWidget* TMainMenu::Peer() const { return FPeers->Bar; }

int TMainMenu::Height() const { return FPeers->Bar != nullptr ? FPeers->Height : 0; }

void TMainMenu::Open() {
  QMenuBar* bar = FPeers->Bar;
  if (bar == nullptr || bar->actions().isEmpty()) return;
  bar->setActiveAction(bar->actions().first());
}

// --- TPopupMenu ---------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(this)) {
  WatchEditTarget();
  FItems->MakeSubmenu();
}

TPopupMenu::~TPopupMenu() { delete FItems; }

void TPopupMenu::Popup(int AX, int AY) {
  QMenu* menu = FItems->Submenu();
  menu->setTitle(QString::fromStdString(FCaption));
  menu->popup(QPoint(AX, AY));
}

bool TPopupMenu::Showing() const { return FItems->Submenu()->isVisible(); }

TPopupMenu* PopupMenuFor(const TControl* AControl) {
  for (const TControl* c = AControl; c != nullptr; c = c->Parent())
    if (TPopupMenu* menu = c->PopupMenu()) return menu;
  return nullptr;
}

void PopupAtKeyboard(TWinControl* AWindow) {
  SyncPeers();
  QWidget* window = AWindow->Peer();
  QWidget* target = EditTarget();  // also from the menu bar's entry
  if (target == nullptr || (target != window && !window->isAncestorOf(target))) target = window;
  // Where the keys are: an editor's caret, a grid's current cell; else near
  // the top left corner, as desktops do.
  // (Qt does the same for the Menu key.)
  const QRect place = target->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  const QPoint at = place.isValid() ? place.center() : QPoint(8, 8);
  QContextMenuEvent event(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
  QApplication::sendEvent(target, &event);
}

// Shows AOwn (an editor's or a grid's menu) with the menu of the control's
// scope as a submenu, and lets it go once closed.
void PopupWithScope(QMenu* AOwn, const TControl* AControl, QPoint AGlobal) {
  if (TPopupMenu* scope = PopupMenuFor(AControl)) {
    QMenu* shared = scope->Items()->Submenu();
    shared->setTitle(QString::fromStdString(scope->Caption()));
    AOwn->addSeparator();
    AOwn->addMenu(shared);
  }
  AOwn->setAttribute(Qt::WA_DeleteOnClose);
  AOwn->popup(AGlobal);
}

// --- The Edit menu's commands -------------------------------------------------

namespace {
// Plain and rich text editors answer alike.
template <class TEdit>
bool CanRunOnDocument(const TEdit* AEdit, TEditCommand ACommand) {
  const bool selected = AEdit->textCursor().hasSelection();
  const bool writable = !AEdit->isReadOnly();
  switch (ACommand) {
    case ecUndo:
      return writable && AEdit->document()->isUndoAvailable();
    case ecRedo:
      return writable && AEdit->document()->isRedoAvailable();
    case ecCut:
      return writable && selected;
    case ecCopy:
      return selected;
    case ecPaste:
      return AEdit->canPaste();
    case ecSelectAll:
      return !AEdit->document()->isEmpty();
  }
  return false;
}
}  // namespace

bool CanRunEditCommand(TEditCommand ACommand) {
  QWidget* target = EditTarget();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(target)) return CanRunOnDocument(plain, ACommand);
  if (auto* rich = qobject_cast<QTextEdit*>(target)) return CanRunOnDocument(rich, ACommand);
  if (auto* line = qobject_cast<QLineEdit*>(target)) {
    const bool writable = !line->isReadOnly();
    switch (ACommand) {
      case ecUndo:
        return writable && line->isUndoAvailable();
      case ecRedo:
        return writable && line->isRedoAvailable();
      case ecCut:
        return writable && line->hasSelectedText() && line->echoMode() == QLineEdit::Normal;
      case ecCopy:
        return line->hasSelectedText() && line->echoMode() == QLineEdit::Normal;
      case ecPaste:
        return writable && !QApplication::clipboard()->text().isEmpty();
      case ecSelectAll:
        return !line->text().isEmpty();
    }
  }
  if (const TStringGrid* grid = GridOfPeer(target)) {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    switch (ACommand) {
      case ecUndo:
        return grid->CanUndo();
      case ecRedo:
        return grid->CanRedo();
      case ecCut:
      case ecCopy:
      case ecSelectAll:
        return true;
      case ecPaste:
        return data != nullptr && ((data->hasText() && !data->text().isEmpty()) || data->hasHtml());
      default:
        return false;
    }
  }
  return false;
}

namespace {
template <class TEditor>
void RunOn(TEditor* AEditor, TEditCommand ACommand) {
  switch (ACommand) {
    case ecUndo:
      AEditor->undo();
      break;
    case ecRedo:
      AEditor->redo();
      break;
    case ecCut:
      AEditor->cut();
      break;
    case ecCopy:
      AEditor->copy();
      break;
    case ecPaste:
      AEditor->paste();
      break;
    case ecSelectAll:
      AEditor->selectAll();
      break;
  }
}
}  // namespace

namespace {
void RunOnGrid(TStringGrid* AGrid, TEditCommand ACommand) {
  switch (ACommand) {
    case ecUndo:
      AGrid->Undo();
      break;
    case ecRedo:
      AGrid->Redo();
      break;
    case ecCut:
      AGrid->CutToClipboard();
      break;
    case ecCopy:
      AGrid->CopyToClipboard();
      break;
    case ecPaste:
      AGrid->PasteFromClipboard();
      break;
    case ecSelectAll:
      AGrid->SelectAll();
      break;
    default:
      break;
  }
}
}  // namespace

void RunEditCommand(TEditCommand ACommand) {
  // Greyed out in the menu, and nothing done by any other way in.
  if (!CanRunEditCommand(ACommand)) return;
  QWidget* target = EditTarget();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(target))
    RunOn(plain, ACommand);
  else if (auto* rich = qobject_cast<QTextEdit*>(target))
    RunOn(rich, ACommand);
  else if (auto* line = qobject_cast<QLineEdit*>(target))
    RunOn(line, ACommand);
  else if (TStringGrid* grid = GridOfPeer(target))
    RunOnGrid(grid, ACommand);
}

namespace {
// The grid that has the keyboard: its own widget, or its cell editor.
TStringGrid* GridWithKeys() {
  for (QWidget* widget = EditTarget(); widget != nullptr; widget = widget->parentWidget())
    if (TStringGrid* grid = GridOfPeer(widget)) return grid;
  return nullptr;
}
}  // namespace

bool CanRunGridCommand(TGridCommand ACommand) {
  const TStringGrid* grid = GridWithKeys();
  if (grid == nullptr) return false;
  switch (ACommand) {
    case gcDeleteRows:
      return grid->RowCount() > grid->FixedRows() + 1;
    case gcDeleteCols:
      return grid->ColCount() > grid->FixedCols() + 1;
    default:
      return true;
  }
}

void RunGridCommand(TGridCommand ACommand) {
  if (!CanRunGridCommand(ACommand)) return;
  TStringGrid* grid = GridWithKeys();
  switch (ACommand) {
    case gcInsertRows:
      grid->InsertRows();
      break;
    case gcDeleteRows:
      grid->DeleteRows();
      break;
    case gcInsertCols:
      grid->InsertCols();
      break;
    case gcDeleteCols:
      grid->DeleteCols();
      break;
  }
}
