// The main window's commands in one table, the menu bar built from it, and
// what only the menus offer: a new window, the recent workspaces, the
// editor's own editing commands, the Keys window and About.
#include <algorithm>

#include "app/RecentFiles.h"
#include "app/Unit1.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"

#ifndef PANES_VERSION
#define PANES_VERSION "unknown"
#endif

const std::vector<TForm1::TCommand>& TForm1::Commands() {
  using F = TForm1;
  constexpr TShortCut Ctrl = scCtrl, CtrlShift = scCtrl | scShift;
  // Desktops take the arrows with Alt, Alt+Shift, Ctrl+Alt and Super, and
  // editors take them with Ctrl and Shift: directions go on the letters vi
  // users know (H left, J down, K up, L right), which none of them takes.
  constexpr TShortCut Move = scCtrl | scAlt | scShift;
  // A grid's keys: I inserts, D deletes, rows; with Alt, columns.
  constexpr TShortCut Columns = scCtrl | scAlt | scShift;
  static const std::vector<TCommand> table{
      {"&File", "&New", "Start an empty window without a file", 0, &F::NewExecute, 0, nullptr, 0,
       true},
      {"&File", "&Open…", "Open a workspace", Ctrl | 'O', &F::OpenExecute, 0, nullptr, 0, true},
      {"&File", "Open &Recent", "Open a workspace used lately", 0, nullptr, 0, &F::HasRecentFiles,
       0, true},
      {"&File", "&Save", "Save the workspace", Ctrl | 'S', &F::SaveExecute, 0, nullptr, 0, true},
      {"&File", "Save &As…", "Save the workspace under a new name", CtrlShift | 'S',
       &F::SaveAsExecute, 0, nullptr, 0, true},
      {"&File", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&File", "&Import CSV into Grid…", "Put a CSV file's cells into the pane's grid", 0,
       &F::ImportCsvExecute, 0, &F::HasGrid, 0, true},
      {"&File", "E&xport Grid as CSV…", "Write the pane's grid to a CSV file", 0,
       &F::ExportCsvExecute, 0, &F::HasGrid, 0, true},
      {"&File", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&File", "&Leave", "Leave the program", Ctrl | 'Q', &F::Button5Click, 0, nullptr, 5, true},

      {"&Edit", "&Undo", "Undo typing", Ctrl | 'Z', &F::EditExecute, ecUndo, &F::CanEdit, 0, false},
      {"&Edit", "&Redo", "Redo typing", CtrlShift | 'Z', &F::EditExecute, ecRedo, &F::CanEdit, 0,
       false},
      {"&Edit", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Edit", "Cu&t", "Cut the selected text", Ctrl | 'X', &F::EditExecute, ecCut, &F::CanEdit, 0,
       false},
      {"&Edit", "&Copy", "Copy the selected text", Ctrl | 'C', &F::EditExecute, ecCopy, &F::CanEdit,
       0, false},
      {"&Edit", "&Paste", "Paste", Ctrl | 'V', &F::EditExecute, ecPaste, &F::CanEdit, 0, false},
      {"&Edit", "Select &All", "Select all the text", Ctrl | 'A', &F::EditExecute, ecSelectAll,
       &F::CanEdit, 0, false},
      {"&Edit", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Edit", "&Find…", "Find text in the pane's editor", Ctrl | 'F', &F::FindExecute, 0,
       &F::HasEditor, 0, true},
      {"&Edit", "Find &Next", "Find the text again", VK_F3, &F::FindNextExecute, 1, &F::HasEditor,
       0, true},
      {"&Edit", "Find Pre&vious", "Find the text again, backwards", scShift | VK_F3,
       &F::FindNextExecute, -1, &F::HasEditor, 0, true},
      {"&Edit", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Edit", "Lar&ger Text", "Make the text of the pane's editor or grid larger",
       Ctrl | VK_OEM_PLUS, &F::ReadingSizeExecute, 1, &F::HasContent, 0, true},
      {"&Edit", "&Smaller Text", "Make the text of the pane's editor or grid smaller",
       Ctrl | VK_OEM_MINUS, &F::ReadingSizeExecute, -1, &F::HasContent, 0, true},
      {"&Edit", "Usual Te&xt Size", "Give the pane's editor or grid its usual text size",
       Ctrl | '0', &F::ReadingSizeExecute, 0, &F::HasContent, 0, true},
      {"&Edit", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Edit", "&Insert Rows", "Insert rows before the selected ones", CtrlShift | 'I',
       &F::GridExecute, gcInsertRows, &F::CanGrid, 0, false},
      {"&Edit", "De&lete Rows", "Delete the selected rows", CtrlShift | 'D', &F::GridExecute,
       gcDeleteRows, &F::CanGrid, 0, false},
      {"&Edit", "Insert Colu&mns", "Insert columns before the selected ones", Columns | 'I',
       &F::GridExecute, gcInsertCols, &F::CanGrid, 0, false},
      {"&Edit", "Delete C&olumns", "Delete the selected columns", Columns | 'D', &F::GridExecute,
       gcDeleteCols, &F::CanGrid, 0, false},
      {"&Edit", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Edit", "Undo La&yout Change",
       "Undo the last change to the panes: a split, a removal, a move, a splitter...",
       CtrlShift | 'T', &F::UndoLayoutExecute, 0, &F::CanUndoLayout, 0, true},
      {"&Edit", "Redo Layout C&hange", "Redo the change to the panes undone last", CtrlShift | 'Y',
       &F::RedoLayoutExecute, 0, &F::CanRedoLayout, 0, true},

      {"&Panes", "&Create Base Pane", "Create the base pane", CtrlShift | 'N', &F::Button1Click, 0,
       &F::CanCreate, 1, true},
      {"&Panes", "Split &Top and Bottom", "Split into top and bottom halves", CtrlShift | 'O',
       &F::Button2Click, 0, &F::HasPanes, 2, true},
      {"&Panes", "Split &Side by Side", "Split into left and right halves", CtrlShift | 'E',
       &F::Button3Click, 0, &F::HasPanes, 3, true},
      {"&Panes", "&Delete Pane", "Delete the current pane", CtrlShift | 'W', &F::Button4Click, 0,
       &F::HasSplit, 4, true},
      {"&Panes", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Panes", "&Editor", "Put a text editor into the current pane", CtrlShift | 'M',
       &F::Button6Click, 0, &F::HasPanes, 6, true},
      {"&Panes", "&Grid", "Put a string grid into the current pane", CtrlShift | 'G',
       &F::Button7Click, 0, &F::HasPanes, 7, true},
      {"&Panes", "Pane &Menu", "Open the current pane's menu, as a right click does",
       scShift | VK_F10, &F::PaneMenuExecute, 0, &F::HasPanes, 0, true},
      {"&Panes", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Panes", "&Next Pane", "Go to the next pane", VK_F6, &F::NextPaneExecute, 1, &F::HasSplit,
       0, true},
      {"&Panes", "&Previous Pane", "Go to the previous pane", scShift | VK_F6, &F::NextPaneExecute,
       -1, &F::HasSplit, 0, true},
      {"&Panes", "Go &Left", "Go to the pane on the left", CtrlShift | 'H', &F::SelectPaneExecute,
       pdLeft, &F::HasSplit, 0, true},
      {"&Panes", "Go &Right", "Go to the pane on the right", CtrlShift | 'L', &F::SelectPaneExecute,
       pdRight, &F::HasSplit, 0, true},
      {"&Panes", "Go &Up", "Go to the pane above", CtrlShift | 'K', &F::SelectPaneExecute, pdUp,
       &F::HasSplit, 0, true},
      {"&Panes", "Go D&own", "Go to the pane below", CtrlShift | 'J', &F::SelectPaneExecute, pdDown,
       &F::HasSplit, 0, true},
      {"&Panes", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Panes", "&Move This Pane…",
       "Pick up the current pane: the next click puts it down, as a drop does", 0,
       &F::PickUpExecute, 0, &F::HasSplit, 0, true},
      {"&Panes", "Move Pane with &Keys",
       "Move the current pane with the keys: arrows swap, Shift lays along a side, F turns",
       CtrlShift | 'R', &F::MoveModeExecute, 0, &F::HasSplit, 0, true},
      {"&Panes", "T&urn the Halves", "Turn the split that holds the current pane", 0,
       &F::FlipExecute, 0, &F::HasSplit, 0, true},
      {"&Panes", "Cle&ar This Pane", "Take the editor or grid out of the current pane", 0,
       &F::ClearPaneExecute, 0, &F::HasContent, 0, true},
      {"&Panes", "Turn &into Grid", "Turn the pane's editor into a grid of its lines", 0,
       &F::TurnPaneExecute, ckMemo, &F::HasEditor, 0, true},
      {"&Panes", "Turn i&nto Editor", "Turn the pane's grid into an editor of its rows", 0,
       &F::TurnPaneExecute, ckGrid, &F::HasGrid, 0, true},

      {"&Panes", "-", "", 0, nullptr, 0, nullptr, 0, false},
      {"&Panes", "Move Splitter Le&ft", "Move the splitter left", Move | 'H',
       &F::MoveSplitterExecute, pdLeft, &F::HasSplit, 0, true},
      {"&Panes", "Move Splitter R&ight", "Move the splitter right", Move | 'L',
       &F::MoveSplitterExecute, pdRight, &F::HasSplit, 0, true},
      {"&Panes", "&Move Splitter Up", "Move the splitter up", Move | 'K', &F::MoveSplitterExecute,
       pdUp, &F::HasSplit, 0, true},
      {"&Panes", "Move Splitter Do&wn", "Move the splitter down", Move | 'J',
       &F::MoveSplitterExecute, pdDown, &F::HasSplit, 0, true},
      {"&Panes", "E&ven Out", "Even out all panes", CtrlShift | 'B', &F::EvenOutExecute, 0,
       &F::HasSplit, 0, true},
      {"&Panes", "&Zoom", "Zoom the current pane", CtrlShift | 'X', &F::ZoomExecute, 0, &F::CanZoom,
       0, true},
      {"&Help", "&Keys", "List every key", 0, &F::KeysExecute, 0, nullptr, 0, true},
      {"&Help", "&About Panes", "The program's version and licence", 0, &F::AboutExecute, 0,
       nullptr, 0, true},
  };
  return table;
}

void TForm1::CreateMenu() {
  MainMenu1 = new TMainMenu(this);
  const std::vector<TCommand>& commands = Commands();
  TMenuItem* menu = nullptr;
  for (size_t i = 0; i < commands.size(); ++i) {
    const TCommand& command = commands[i];
    if (menu == nullptr || menu->Caption() != command.Menu) {
      menu = new TMenuItem(this);
      menu->SetCaption(command.Menu);
      menu->OnPopup = TNotifyEvent(this, &TForm1::MenuPopup);
      MainMenu1->Items()->Add(menu);
    }
    auto* item = new TMenuItem(this);
    item->SetCaption(command.Caption);
    item->SetShortCut(command.Keys);
    item->SetHint(command.What);
    item->SetTag(static_cast<int>(i));
    menu->Add(item);
    if (command.Handler != nullptr) {
      item->OnClick = TNotifyEvent(this, &TForm1::MenuClick);
    } else if (command.Caption != std::string("-")) {
      // Its items are made each time it opens, from the list on the disk.
      FRecentMenu = item;
      item->Add(new TMenuItem(this));
      item->OnPopup = TNotifyEvent(this, &TForm1::RecentPopup);
    }
  }
}

// The pane's menu: what a right click on a pane, the Menu key or Shift+F10
// opens; in an editor or a grid, a submenu of its own menu.
void TForm1::CreatePaneMenu() {
  PaneMenu1 = new TPopupMenu(this);
  PaneMenu1->SetCaption("Pa&ne");  // P is Paste in the menus it joins
  PaneMenu1->Items()->OnPopup = TNotifyEvent(this, &TForm1::MenuPopup);
  using F = TForm1;
  // clang-format off
  const std::vector<void (F::*)(TObject*)> wanted = {
      &F::Button2Click,   &F::Button3Click,      &F::Button4Click,
      nullptr,            &F::Button6Click,      &F::Button7Click,
      nullptr,            &F::ZoomExecute,       &F::EvenOutExecute,
      nullptr,            &F::PickUpExecute,     &F::MoveModeExecute, &F::FlipExecute,
      nullptr,            &F::ClearPaneExecute,  &F::TurnPaneExecute, &F::TurnPaneExecute,
      nullptr,            &F::UndoLayoutExecute, &F::RedoLayoutExecute};
  // clang-format on
  const std::vector<TCommand>& commands = Commands();
  size_t after = 0;  // a handler named twice takes its next command
  for (size_t w = 0; w < wanted.size(); ++w) {
    const auto handler = wanted[w];
    auto* item = new TMenuItem(this);
    item->SetCaption("-");
    const size_t from = w > 0 && wanted[w - 1] == handler ? after + 1 : 0;
    for (size_t i = from; i < commands.size() && handler != nullptr; ++i) {
      if (commands[i].Handler != handler) continue;
      item->SetCaption(commands[i].Caption);
      item->SetShortCut(commands[i].Keys);
      item->SetHint(commands[i].What);
      item->SetTag(static_cast<int>(i));
      item->OnClick = TNotifyEvent(this, &TForm1::MenuClick);
      after = i;
      break;
    }
    PaneMenu1->Items()->Add(item);
  }
}

void TForm1::PaneMenuExecute(TObject* /*Sender*/) { PopupAtKeyboard(this); }

void TForm1::MenuClick(TObject* Sender) {
  const auto index = static_cast<size_t>(static_cast<TMenuItem*>(Sender)->Tag());
  // As the keys do: a command with nothing to act on does nothing.
  if (TAction* action = FCommandActions.at(index)) action->Execute();
}

void TForm1::MenuPopup(TObject* Sender) {
  auto* menu = static_cast<TMenuItem*>(Sender);
  for (int i = 0; i < menu->Count(); ++i) {
    TMenuItem* item = menu->Items(i);
    if (item->Caption() == "-") continue;
    const TCommand& command = Commands().at(static_cast<size_t>(item->Tag()));
    item->SetEnabled(command.CanRun == nullptr || (this->*command.CanRun)(command.Tag));
  }
}

bool TForm1::CanCreate(int /*ATag*/) const { return FMainPanel == nullptr; }

bool TForm1::HasPanes(int /*ATag*/) const { return FMainPanel != nullptr; }

bool TForm1::HasSplit(int /*ATag*/) const {
  return FMainPanel != nullptr && FMainPanel->FRoot != nullptr &&
         FMainPanel->FRoot->FSplitter != nullptr;
}

// A lone pane has the whole area already; a zoomed one can always go back.
bool TForm1::CanZoom(int ATag) const {
  return HasSplit(ATag) || (FMainPanel != nullptr && FMainPanel->Zoomed());
}

bool TForm1::CanUndoLayout(int /*ATag*/) const {
  return FMainPanel != nullptr && FMainPanel->CanUndo();
}

bool TForm1::CanRedoLayout(int /*ATag*/) const {
  return FMainPanel != nullptr && FMainPanel->CanRedo();
}

bool TForm1::CanEdit(int ATag) const { return CanRunEditCommand(static_cast<TEditCommand>(ATag)); }

bool TForm1::CanGrid(int ATag) const { return CanRunGridCommand(static_cast<TGridCommand>(ATag)); }

void TForm1::GridExecute(TObject* Sender) {
  RunGridCommand(static_cast<TGridCommand>(static_cast<TAction*>(Sender)->Tag()));
}

void TForm1::EditExecute(TObject* Sender) {
  RunEditCommand(static_cast<TEditCommand>(static_cast<TAction*>(Sender)->Tag()));
}

TMemo* TForm1::CurrentEditor() const {
  if (FMainPanel == nullptr || FMainPanel->FCurrent == nullptr) return nullptr;
  return dynamic_cast<TMemo*>(FMainPanel->FCurrent->Content());
}

bool TForm1::HasEditor(int /*ATag*/) const { return CurrentEditor() != nullptr; }

TStringGrid* TForm1::CurrentGrid() const {
  if (FMainPanel == nullptr || FMainPanel->FCurrent == nullptr) return nullptr;
  return dynamic_cast<TStringGrid*>(FMainPanel->FCurrent->Content());
}

bool TForm1::HasGrid(int /*ATag*/) const { return CurrentGrid() != nullptr; }

void TForm1::FindExecute(TObject* /*Sender*/) {
  TMemo* editor = CurrentEditor();
  if (editor == nullptr) {
    if (FMainPanel != nullptr && FMainPanel->FCurrent != nullptr)
      Application->ShowNote(FMainPanel->FCurrent, "This pane holds no editor to search", true);
    return;
  }
  editor->ShowFindBar();
}

void TForm1::FindNextExecute(TObject* Sender) {
  TMemo* editor = CurrentEditor();
  if (editor == nullptr) return;
  // Nothing to find yet: the bar asks for it.
  if (editor->FindText().empty()) {
    editor->ShowFindBar();
    return;
  }
  editor->FindNext(static_cast<TAction*>(Sender)->Tag() > 0);
}

bool TForm1::HasContent(int ATag) const { return HasEditor(ATag) || HasGrid(ATag); }

void TForm1::ReadingSizeExecute(TObject* Sender) {
  if (FMainPanel == nullptr || FMainPanel->FCurrent == nullptr) return;
  const int steps = static_cast<TAction*>(Sender)->Tag();
  TMemo* editor = CurrentEditor();
  TStringGrid* grid = CurrentGrid();
  if (editor == nullptr && grid == nullptr) {
    Application->ShowNote(FMainPanel->FCurrent, "This pane holds no editor or grid", true);
    return;
  }
  const int was = editor != nullptr ? editor->ReadingSize() : grid->ReadingSize();
  const int size = StepReadingSize(was, steps);
  if (size == was && steps != 0) {
    // At either end: refused, and said so at the pane.
    Application->ShowNote(FMainPanel->FCurrent,
                          std::string(steps > 0 ? "The text is as large as it goes"
                                                : "The text is as small as it goes") +
                              " (" + std::to_string(size) + " %)",
                          true);
    return;
  }
  if (editor != nullptr) editor->SetReadingSize(size);
  if (grid != nullptr) grid->SetReadingSize(size);
  if (size != was) FMainPanel->Changed();
  Application->Announce("Text size " + std::to_string(size) + " %");
}

// --- File ----------------------------------------------------------------------

void TForm1::NewExecute(TObject* /*Sender*/) {
  if (!SaveOrDiscardFirst(true)) return;
  ShowWorkspace(TWorkspace{});
  SetFileName("");
  SetModified(false);
}

std::string TForm1::RecentListFile() { return StateFolder() + "/recent"; }

void TForm1::NoteRecentFile(const std::string& APath) {
  // The list is a convenience: a list that cannot be written is no reason
  // to trouble the user, whose file is safe.
  std::string problem;
  AddRecentFile(RecentListFile(), ExpandFileName(APath), problem);
}

bool TForm1::HasRecentFiles(int /*ATag*/) const {
  return !LoadRecentFiles(RecentListFile()).empty();
}

namespace {
// "&&" shows one "&" in a menu.
std::string MenuText(const std::string& AText) {
  std::string text;
  for (const char c : AText) text += c == '&' ? std::string("&&") : std::string(1, c);
  return text;
}
}  // namespace

void TForm1::RecentPopup(TObject* /*Sender*/) {
  FRecentMenu->Clear();
  const std::vector<std::string> list = LoadRecentFiles(RecentListFile());
  for (size_t i = 0; i < list.size(); ++i) {
    auto* item = new TMenuItem(this);
    // 1 to 9 and 0 choose an entry from the keyboard.
    std::string caption(i < 9 ? "&" : "1&");
    caption += std::to_string((i + 1) % 10);
    caption += "  ";
    caption += MenuText(ExtractFileName(list[i]));
    caption += "   ";
    caption += MenuText(list[i]);
    item->SetCaption(caption);
    item->SetHint(list[i]);
    item->OnClick = TNotifyEvent(this, &TForm1::OpenRecentClick);
    FRecentMenu->Add(item);
  }
  if (list.empty()) {
    auto* none = new TMenuItem(this);
    none->SetCaption("No workspaces yet");
    none->SetEnabled(false);
    FRecentMenu->Add(none);
  }
}

void TForm1::OpenRecentClick(TObject* Sender) {
  const std::string path = static_cast<TMenuItem*>(Sender)->Hint();
  if (!FileExists(path)) {
    std::string problem;
    RemoveRecentFile(RecentListFile(), path, problem);
    MessageDlg("\u201c" + ExtractFileName(path) + "\u201d is no longer there.", mtInformation,
               {"OK"}, 0, 0,
               "It was moved, renamed or deleted: Panes takes it off the list of recent "
               "workspaces.\n\nIt was: " +
                   path);
    return;
  }
  // As Open does: discarded changes stay on the screen, and in their
  // recovery copy, until the file is open in their place.
  if (!SaveOrDiscardFirst(false)) return;
  if (OpenFile(path)) OfferRecovery();
}

// --- Help ----------------------------------------------------------------------

void TForm1::KeysExecute(TObject* /*Sender*/) {
  std::vector<std::vector<std::string>> rows;
  for (const TCommand& command : Commands())
    if (command.Keys != 0)
      rows.push_back(
          {ShortCutToText(command.Keys) + (SecondKeys(command.Keys) != 0
                                               ? ", " + ShortCutToText(SecondKeys(command.Keys))
                                               : ""),
           command.What + std::string(command.Bound ? ""
                                      : command.Handler == &TForm1::GridExecute
                                          ? " (in a grid)"
                                          : " (in an editor or a grid)")});
  // What the window itself gives, beyond its commands.
  rows.push_back({"F10", "Open the menu"});
  rows.push_back({"Menu", "Open the current pane's menu, as Shift+F10 does"});
  rows.push_back({"Alt+F, E, P, H", "Open the File, Edit, Panes or Help menu"});
  rows.push_back({"Ctrl+Tab, Ctrl+Shift+Tab",
                  "Leave an editor or a grid for the next or "
                  "previous control"});
  // A grid's own keys.
  rows.push_back({"Shift+arrows", "Select a range of a grid's cells"});
  rows.push_back({"Delete, Backspace", "Clear the selected cells (in a grid)"});
  rows.push_back({"Enter, Tab", "Go to the next row or column of a grid, adding one at its end"});
  ShowTableDlg("Keys \u2014 Panes", {"Keys", "Does"}, rows);
}

void TForm1::AboutExecute(TObject* /*Sender*/) {
  MessageDlg("Panes " PANES_VERSION, mtInformation, {"OK"}, 0, 0,
             "Divides its window into panes, each holding a text editor or a string grid, and "
             "keeps them in workspace files.\n\nLicence: MIT.");
}
