#pragma once
// The main window: a toolbar of seven commands over the area the panes live in.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/SplitPanel.h"
#include "app/Workspace.h"
#include "widgets/Action.h"
#include "widgets/Button.h"
#include "widgets/Files.h"
#include "widgets/Form.h"
#include "widgets/FormStream.h"
#include "widgets/Memo.h"
#include "widgets/Menu.h"
#include "widgets/Panel.h"
#include "widgets/Splitter.h"
#include "widgets/StringGrid.h"
#include "widgets/Timer.h"

class TForm1 : public TForm {
 public:
  // Controls and handlers of the window layout, bound by name when it loads.
  TPanel* Panel1 = nullptr;
  TButton* Button1 = nullptr;
  TButton* Button2 = nullptr;
  TButton* Button3 = nullptr;
  TButton* Button4 = nullptr;
  TButton* Button5 = nullptr;
  TButton* Button6 = nullptr;
  TButton* Button7 = nullptr;
  TSplitter* Splitter1 = nullptr;
  TPanel* Panel2 = nullptr;

  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void Button4Click(TObject* Sender);
  void Button5Click(TObject* Sender);
  void Button6Click(TObject* Sender);
  void Button7Click(TObject* Sender);
  void Panel2Resize(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);

  // Keyboard commands beyond the toolbar's; the action's tag says which way.
  void SelectPaneExecute(TObject* Sender);
  void NextPaneExecute(TObject* Sender);
  void MoveSplitterExecute(TObject* Sender);
  void EvenOutExecute(TObject* Sender);
  void ZoomExecute(TObject* Sender);
  void UndoLayoutExecute(TObject* Sender);
  void RedoLayoutExecute(TObject* Sender);
  // Moving panes about: the keyboard's move mode (and its keys, which the
  // window sees first while it lasts), turning a split, emptying a pane and
  // turning its editor into a grid or back (the tag: what it holds now).
  void MoveModeExecute(TObject* Sender);
  void PickUpExecute(TObject* Sender);
  void FormKeyDown(TObject* Sender, unsigned& Key, TShiftState Shift);
  // A screen reader started: the panes' names, left to wait, are given.
  void AssistiveTechnologyStarted(TObject* Sender);
  void FlipExecute(TObject* Sender);
  void ClearPaneExecute(TObject* Sender);
  void TurnPaneExecute(TObject* Sender);

  // Workspace files (FileCommands.cpp). A window that never touches a file
  // reads and writes none, unless text is typed into it: that is kept as a
  // file's changes are, in a recovery copy, and asked about at leaving.
  void SaveExecute(TObject* Sender);
  void SaveAsExecute(TObject* Sender);
  void OpenExecute(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  // The file named on the command line: opened if it exists, else the name
  // a first save uses. Offers the recovery copies kept for it.
  void OpenAtStart(const std::string& AFileName);
  // Reads AFileName into the window; on a fault says why and changes nothing.
  bool OpenFile(const std::string& AFileName);
  // Writes the workspace safely to AFileName; on a fault says why, and the
  // window stays unsaved.
  bool SaveTo(const std::string& AFileName);
  const std::string& FileName() const { return FFileName; }
  bool Modified() const { return FModified; }
  // Changes that leaving would lose: any change to a file's workspace; in a
  // window without a file, only once text has been typed into it.
  bool UnsavedWork() const { return FModified && (!FFileName.empty() || FTyped); }
  // Where this window keeps its unsaved changes: a copy of its own, never
  // another window's or an earlier run's; empty until it has work to keep.
  std::string RecoveryFileName() const { return FRecoveryCopy; }
  // Offers, newest first, every recovery copy that no running window keeps:
  // the window's file's, or without a file those of windows without one.
  void OfferRecovery();
  // Waits until the recovery copies asked for are on the disk.
  void FlushRecovery();
  // The window's client size and state into AWorkspace (WindowState.cpp);
  // and back: the window takes those AWorkspace holds, if it holds them.
  // Neither counts as a change.
  void StoreWindowState(TWorkspace& AWorkspace) const;
  void RestoreWindowState(const TWorkspace& AWorkspace);
  // The system ends the program (a logout, a shutdown): unsaved changes go
  // into the recovery copy at once, without a question.
  void EndSession(TObject* Sender);

  // The menu bar and what only it offers (MenuCommands.cpp).
  TMainMenu* MainMenu1 = nullptr;
  TPopupMenu* PaneMenu1 = nullptr;
  // An empty window without a file, after the question about unsaved
  // changes.
  void NewExecute(TObject* Sender);
  // A workspace was opened or saved: it goes to the top of Open Recent.
  void NoteRecentFile(const std::string& APath);
  // Where the list of recent workspaces is kept.
  static std::string RecentListFile();
  // The editor's or the grid's own undo, cut, paste...; the tag says which.
  void EditExecute(TObject* Sender);
  // Finding text in the current pane's editor: the find bar, and the next
  // or previous place (the tag: 1 or -1).
  void FindExecute(TObject* Sender);
  void FindNextExecute(TObject* Sender);
  // The text of the current pane's editor or grid a size larger, smaller
  // (the tag: 1 or -1) or back to the usual (0).
  void ReadingSizeExecute(TObject* Sender);
  // The current pane's editor, or null.
  TMemo* CurrentEditor() const;
  // A CSV file's cells into the current pane's grid, at its current cell as
  // a paste puts them; the grid's cells out to a CSV file.
  void ImportCsvExecute(TObject* Sender);
  void ExportCsvExecute(TObject* Sender);
  bool ImportCsv(const std::string& AFileName);
  bool ExportCsv(const std::string& AFileName);
  // The current pane's grid, or null.
  TStringGrid* CurrentGrid() const;
  // A grid's rows and columns inserted or deleted; the tag says which.
  void GridExecute(TObject* Sender);
  // A window that lists every key.
  void KeysExecute(TObject* Sender);
  void AboutExecute(TObject* Sender);

  // Every command of the window, in one table: the key bindings, the
  // toolbar's tooltips, the menus and the Keys window all come from it.
  struct TCommand {
    const char* Menu;     // "&File"...; the menu it is in
    const char* Caption;  // in the menu; "-" a separator line
    const char* What;     // for tooltips, the Keys window, assistive technology
    TShortCut Keys;
    void (TForm1::*Handler)(TObject*);  // null: the recent workspaces
    int Tag;
    // Whether there is something to act on now; null: always.
    bool (TForm1::*CanRun)(int ATag) const;
    int Button;  // the toolbar button (1 to 7) that runs it as well, or 0
    bool Bound;  // the window binds the keys; else the editor that has the keyboard does
  };
  static const std::vector<TCommand>& Commands();
  // Another key bound to the command whose keys are AKeys, or 0: "+" takes
  // Shift on most keyboards, so Ctrl+= makes the text larger as Ctrl++ does.
  static TShortCut SecondKeys(TShortCut AKeys) {
    return AKeys == (scCtrl | VK_OEM_PLUS) ? scCtrl | '=' : 0;
  }
  // The action that runs Commands()[AIndex] (null for separators).
  TAction* CommandAction(size_t AIndex) const { return FCommandActions.at(AIndex); }

  explicit TForm1(TComponent* Owner);
  ~TForm1() override;

  // What the window layout may bind: the fields and handlers above.
  static const TFormClassInfo& ClassInfo();

  TMainPanel* MainPanel() const { return FMainPanel; }

 private:
  void CreateActions();
  void CreateMenu();
  void CreatePaneMenu();
  // Opens the current pane's menu (or its editor's or grid's) at the keys.
  void PaneMenuExecute(TObject* Sender);
  void MenuClick(TObject* Sender);
  // A menu opens: its items are greyed out where they cannot act.
  void MenuPopup(TObject* Sender);
  void RecentPopup(TObject* Sender);
  void OpenRecentClick(TObject* Sender);
  bool CanCreate(int ATag) const;
  bool HasPanes(int ATag) const;
  bool HasSplit(int ATag) const;
  bool CanZoom(int ATag) const;
  bool CanUndoLayout(int ATag) const;
  bool CanRedoLayout(int ATag) const;
  bool CanEdit(int ATag) const;
  bool HasEditor(int ATag) const;
  bool HasGrid(int ATag) const;
  bool HasContent(int ATag) const;
  bool CanGrid(int ATag) const;
  bool HasRecentFiles(int ATag) const;
  // Makes the split host and the base pane (what the create command does).
  void CreateHost();
  // The host of the panes, or null with a word for assistive technology.
  TMainPanel* Panes();
  void WorkspaceChange(TObject* Sender);
  void RecoveryTimer(TObject* Sender);
  void SetModified(bool AModified);
  void UpdateTitle();
  // Save / Discard / Cancel for unsaved changes: false on Cancel (or a
  // failed save).
  // Discard forgets the recovery copy unless AForgetOnDiscard is false.
  bool SaveOrDiscardChanges(const std::string& AQuestion, bool AForgetOnDiscard = true);
  // The same before the window shows another workspace, if there is
  // unsaved work: false on Cancel.
  bool SaveOrDiscardFirst(bool AForgetOnDiscard);
  // Asks about each recovery copy OfferRecovery offers; true if it asked.
  bool AskAboutCopies();
  // Says at the window that another Panes window has its file open too.
  void NoteFileOpenElsewhere();
  // Deletes this window's own recovery copy, and stops keeping one.
  void ForgetRecovery();
  // Names and takes a recovery copy of this window's own.
  void KeepRecoveryCopy();
  // What a save or a recovery copy keeps of the window now.
  TWorkspace CurrentWorkspace() const;
  // Puts AWorkspace into the window: its panes, or none. With AProgress the
  // user sees a long build and may cancel it; stopped, the window is as it
  // was: false.
  bool ShowWorkspace(const TWorkspace& AWorkspace, TProgress* AProgress = nullptr);
  // Opens a workspace already read, with its progress shown: false when the
  // user cancelled (a note says so) or the program is ending.
  bool ShowWorkspaceOf(const std::string& AFileName, const TWorkspace& AWorkspace);
  // The window's file from now on (empty: none); the recovery copy of a file
  // belongs to the one window that holds its lock.
  void SetFileName(const std::string& AFileName);
  void KeepToolbarWhole();

  TMainPanel* FMainPanel;
  // A workspace is being opened: the window waits for it.
  bool FOpening = false;
  std::string FFileName;
  std::string FFileStamp;
  bool FModified = false;
  // Text has been typed since the last open or save.
  bool FTyped = false;
  // What the window held when last opened or saved (see ContentMark).
  std::uint64_t FSavedMark = 0;
  TTimer* FRecoveryTimer = nullptr;
  std::unique_ptr<TBackgroundWriter> FWriter;
  // This window's own recovery copy, locked so no other run offers it.
  std::string FRecoveryCopy;
  std::unique_ptr<TFileLock> FCopyLock;
  // Held by the first window on a file, so a second one can say so.
  TFileLock FFileLock;
  std::vector<TAction*> FCommandActions;
  TMenuItem* FRecentMenu = nullptr;
};

extern TForm1* Form1;
