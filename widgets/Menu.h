#pragma once
// The window's main menu: a bar of menus above the client area, each a list
// of commands that show their keys and are greyed out where they cannot act.

#include <memory>
#include <string>
#include <vector>

#include "widgets/Action.h"
#include "widgets/Component.h"
#include "widgets/Event.h"

class QAction;
class QMenu;
class QWidget;
class TControl;
class TForm;
class TWinControl;

// One entry of a menu; an entry with items of its own opens a menu of them.
class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  // "&Open…": the letter after "&" is underlined and chooses the item in an
  // open menu (in the bar: with Alt). "-" makes a separator line.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& ACaption);
  // The keys shown beside the caption. Only shown: the window's actions (or
  // the editor that has the keyboard) bind them, so no key runs twice.
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut AShortCut);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AEnabled);
  // What the item does, for assistive technology.
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& AHint);
  int Tag() const { return FTag; }
  void SetTag(int ATag) { FTag = ATag; }

  // The items of the menu this one opens, in order.
  void Add(TMenuItem* AItem);
  // Takes every item out and destroys it.
  void Clear();
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int AIndex) const { return FItems.at(static_cast<size_t>(AIndex)); }
  TMenuItem* Parent() const { return FParent; }

  // Runs OnClick, as choosing the item does.
  void Click();

  TNotifyEvent OnClick;
  // Raised just before the item's menu opens: the moment to bring the
  // Enabled states of its items up to date.
  TNotifyEvent OnPopup;

  // Layer internals.
  QAction* Peer() const;
  QMenu* Submenu() const;
  void AttachTo(QWidget* AContainer);
  // The items go straight into AContainer (a bar), not into a menu.
  void ShowItemsIn(QWidget* AContainer);

 private:
  friend class TPopupMenu;
  void Detach();
  void MakeSubmenu();
  struct TPeers;
  std::unique_ptr<TPeers> FPeers;
  std::string FCaption;
  std::string FHint;
  TShortCut FShortCut = 0;
  bool FEnabled = true;
  int FTag = 0;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
};

// The bar of menus of a form, in its frame above the client area: the form's
// client area keeps its size and the window grows by the bar's height. F10
// opens the first menu; Alt and an underlined letter opens that menu.
class TMainMenu : public TComponent {
 public:
  explicit TMainMenu(TForm* AOwner);
  ~TMainMenu() override;

  // Its items are the menus of the bar.
  TMenuItem* Items() const { return FItems; }
  // The bar's height in pixels.
  int Height() const;
  // Opens the first menu, as F10 does.
  void Open();

  // Layer internals.
  QWidget* Peer() const;
  void FormDestroyed() { FForm = nullptr; }

 private:
  struct TPeers;
  std::unique_ptr<TPeers> FPeers;
  TForm* FForm;
  TMenuItem* FItems;
};

// A menu that opens where the user asks for it: at the pointer on a right
// click, at the keyboard's place for the Menu key or Shift+F10. A control's
// menu (SetPopupMenu) is its children's too; an editor or a grid shows its
// own commands with it as a submenu.
class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  // The menu's entries; its OnPopup is raised just before the menu opens.
  TMenuItem* Items() const { return FItems; }
  // The submenu's caption where it is offered inside another menu.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& ACaption) { FCaption = ACaption; }
  // Opens it at AX, AY on the screen; it stays open while the user chooses.
  void Popup(int AX, int AY);
  // Open now.
  bool Showing() const;

 private:
  TMenuItem* FItems;
  std::string FCaption;
};

// The menu of AControl or of the nearest control it lies in that has one.
TPopupMenu* PopupMenuFor(const TControl* AControl);
// Opens the context menu of whatever has the keyboard in AWindow, at the
// keyboard's place (the caret, the current cell), as the Menu key does.
void PopupAtKeyboard(TWinControl* AWindow);

// The standard editing commands, for the Edit menu: they act on the editing
// widget that has the keyboard (an editor, a grid's cell being edited, or a
// grid's selected cells).
enum TEditCommand { ecUndo, ecRedo, ecCut, ecCopy, ecPaste, ecSelectAll };
// True where the command would change or copy something there now.
bool CanRunEditCommand(TEditCommand ACommand);
void RunEditCommand(TEditCommand ACommand);

// A grid's rows and columns, for the menus: they act on the grid that has
// the keyboard (a cell being typed into keeps what was typed).
enum TGridCommand { gcInsertRows, gcDeleteRows, gcInsertCols, gcDeleteCols };
bool CanRunGridCommand(TGridCommand ACommand);
void RunGridCommand(TGridCommand ACommand);
