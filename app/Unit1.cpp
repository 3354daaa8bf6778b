#include "app/Unit1.h"

#include <algorithm>

TForm1* Form1 = nullptr;

const TFormClassInfo& TForm1::ClassInfo() {
  static const TFormClassInfo info{
      "TForm1",
      {Field("Panel1", &TForm1::Panel1), Field("Button1", &TForm1::Button1),
       Field("Button2", &TForm1::Button2), Field("Button3", &TForm1::Button3),
       Field("Button4", &TForm1::Button4), Field("Button5", &TForm1::Button5),
       Field("Button6", &TForm1::Button6), Field("Button7", &TForm1::Button7),
       Field("Splitter1", &TForm1::Splitter1), Field("Panel2", &TForm1::Panel2)},
      {Handler("Button1Click", &TForm1::Button1Click),
       Handler("Button2Click", &TForm1::Button2Click),
       Handler("Button3Click", &TForm1::Button3Click),
       Handler("Button4Click", &TForm1::Button4Click),
       Handler("Button5Click", &TForm1::Button5Click),
       Handler("Button6Click", &TForm1::Button6Click),
       Handler("Button7Click", &TForm1::Button7Click),
       Handler("Panel2Resize", &TForm1::Panel2Resize), Handler("FormClose", &TForm1::FormClose)}};
  return info;
}

TForm1::TForm1(TComponent* Owner)
    : TForm(Owner), FMainPanel(nullptr), FWriter(std::make_unique<TBackgroundWriter>()) {
  InitInheritedComponent(ClassInfo());
  CreateActions();
  CreateMenu();
  CreatePaneMenu();
  OnCloseQuery = TCloseQueryEvent(this, &TForm1::FormCloseQuery);
  // The move mode takes its keys before an editor or a grid can.
  OnKeyDown = TKeyEvent(this, &TForm1::FormKeyDown);
  SetKeyPreview(true);
  Application->OnAssistiveTechnology = TNotifyEvent(this, &TForm1::AssistiveTechnologyStarted);
  // The layout's own splitter divides nothing a user can move: assistive
  // technology need not meet it.
  Splitter1->SetAccessibleRole(arDefault);
  // Unsaved changes reach their recovery copy within about two seconds.
  FRecoveryTimer = new TTimer(this);
  FRecoveryTimer->SetInterval(2000);
  FRecoveryTimer->OnTimer = TNotifyEvent(this, &TForm1::RecoveryTimer);
  UpdateTitle();
  KeepToolbarWhole();
}

void TForm1::KeepToolbarWhole() {
  // The layout's minimum let the window get narrower than its toolbar, and
  // the last buttons out of the mouse's reach: the client area keeps every
  // button whole, with the toolbar's left margin on their right as well.
  int right = 0;
  for (const TButton* button : {Button1, Button2, Button3, Button4, Button5, Button6, Button7})
    right = std::max(right, button->Left() + button->Width());
  const int width = Panel1->Left() + right + Button1->Left() + FrameWidth;
  SetConstraints(std::max(MinWidth(), width), MinHeight());
}

void TForm1::CreateActions() {
  // Each command of the table with its keys; the toolbar's seven name
  // theirs in their tooltips, the toolbar's own tooltip names the others.
  TButton* toolbar[] = {Button1, Button2, Button3, Button4, Button5, Button6, Button7};
  std::string more = "More keys:";
  for (const TCommand& command : Commands()) {
    TAction* action = nullptr;
    if (command.Handler != nullptr) {
      action = new TAction(this);
      // Keys an editor binds itself are only shown in the menu.
      if (command.Bound) action->SetShortCut(command.Keys);
      if (command.Bound && SecondKeys(command.Keys) != 0)
        action->AddSecondShortCut(SecondKeys(command.Keys));
      action->SetHint(command.Keys != 0
                          ? std::string(command.What) + " (" + ShortCutToText(command.Keys) + ")"
                          : std::string(command.What));
      action->SetTag(command.Tag);
      action->OnExecute = TNotifyEvent(this, command.Handler);
    }
    FCommandActions.push_back(action);
    if (action == nullptr || !command.Bound || command.Keys == 0) continue;
    if (command.Button > 0) {
      // The tooltip names the keys; assistive technology reads it as the
      // description and gets the keys as the button's own too.
      TButton* button = toolbar[command.Button - 1];
      button->SetHint(action->Hint());
      button->SetShortCut(command.Keys);
    } else {
      more += "\n" + action->Hint();
    }
  }
  Panel1->SetAccessibleRole(arToolBar);
  Panel1->SetHint(more);
}

void TForm1::SelectPaneExecute(TObject* Sender) {
  if (TMainPanel* host = Panes())
    host->SelectNeighbour(static_cast<TPaneDirection>(static_cast<TAction*>(Sender)->Tag()));
}

void TForm1::NextPaneExecute(TObject* Sender) {
  if (TMainPanel* host = Panes()) host->SelectNext(static_cast<TAction*>(Sender)->Tag() > 0);
}

void TForm1::MoveSplitterExecute(TObject* Sender) {
  if (TMainPanel* host = Panes())
    host->MoveSplitter(static_cast<TPaneDirection>(static_cast<TAction*>(Sender)->Tag()), 10);
}

void TForm1::EvenOutExecute(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->EvenOut();
}

void TForm1::ZoomExecute(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->ToggleZoom();
}

void TForm1::UndoLayoutExecute(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->UndoLayout();
}

void TForm1::RedoLayoutExecute(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->RedoLayout();
}

void TForm1::MoveModeExecute(TObject* /*Sender*/) {
  TMainPanel* host = Panes();
  if (host == nullptr) return;
  host->BeginMoveMode();
}

void TForm1::AssistiveTechnologyStarted(TObject* /*Sender*/) {
  if (FMainPanel != nullptr) FMainPanel->EnsureNames();
}

void TForm1::PickUpExecute(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->PickUpCurrent();
}

void TForm1::FormKeyDown(TObject* /*Sender*/, unsigned& Key, TShiftState Shift) {
  if (FMainPanel == nullptr || !FMainPanel->InMoveMode()) return;
  if (FMainPanel->MoveModeKey(Key, (Shift & ssShift) != 0)) Key = 0;
}

void TForm1::FlipExecute(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->FlipCurrent();
}

void TForm1::ClearPaneExecute(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->ClearCurrent();
}

void TForm1::TurnPaneExecute(TObject* Sender) {
  TMainPanel* host = Panes();
  if (host == nullptr) return;
  // From the menu of the kind the pane no longer holds, nothing happens.
  const auto from = static_cast<TContentKind>(static_cast<TAction*>(Sender)->Tag());
  const TContentKind kind =
      host->FCurrent != nullptr ? ContentKindOf(host->FCurrent->Content()) : ckNone;
  if (kind == from || kind == ckNone)
    host->TurnCurrent();
  else
    Application->ShowNote(
        host->FCurrent,
        kind == ckGrid ? "This pane holds a grid already" : "This pane holds an editor already",
        true);
}

TForm1::~TForm1() {
  if (Application->OnAssistiveTechnology.Object() == this) Application->OnAssistiveTechnology = {};
  // A window destroyed without being closed still releases what it made.
  delete FMainPanel;
}

void TForm1::Button1Click(TObject* Sender) {
  // Pressed again, the button gives the keyboard back to the framed pane.
  if (FMainPanel != nullptr) {
    FMainPanel->SettleCurrent();
    return;
  }
  CreateHost();
  FMainPanel->Tell("Base pane created");
  WorkspaceChange(Sender);
}

TMainPanel* TForm1::Panes() {
  // Without panes the pane commands have nothing to work on; a screen reader
  // user hears why nothing happened.
  if (FMainPanel == nullptr)
    Application->Announce("No panes yet: create the base pane first (Ctrl+Shift+N)");
  return FMainPanel;
}

void TForm1::CreateHost() {
  FMainPanel = new TMainPanel(Panel2);
  FMainPanel->SetPopupMenu(PaneMenu1);
  FMainPanel->SetParent(this);
  FMainPanel->SetAlign(alClient);
  FMainPanel->OnChange = TNotifyEvent(this, &TForm1::WorkspaceChange);
  FMainPanel->SetAccessibleName("Pane area");
  // Named, framed and holding the keyboard from the start.
  FMainPanel->DescribePanes();
  FMainPanel->SettleCurrent();
}

// A split that would leave a half too small to see is refused (with a note).
void TForm1::Button2Click(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->SplitCurrentIfRoom(alTop, 0.5f);
}

void TForm1::Button3Click(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->SplitCurrentIfRoom(alLeft, 0.5f);
}

void TForm1::Button4Click(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->DeleteCurrent();
}

void TForm1::Button5Click(TObject* /*Sender*/) {
  Close();
  // Staying after all (the question at leaving was cancelled): the keys go
  // back to the framed pane, not to the button that was pressed.
  if (Visible() && FMainPanel != nullptr) FMainPanel->SettleCurrent();
}

// Each pane holds its own editor or grid (see TMainPanel::PutContent).
void TForm1::Button6Click(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->PutContent(ckMemo);
}

void TForm1::Button7Click(TObject* /*Sender*/) {
  if (TMainPanel* host = Panes()) host->PutContent(ckGrid);
}

void TForm1::Panel2Resize(TObject* /*Sender*/) {
  if (FMainPanel != nullptr) FMainPanel->ResizePanes();
  // The window's size comes back with the work: the recovery copy takes
  // the new one too.
  if (UnsavedWork() && !FRecoveryTimer->Enabled()) FRecoveryTimer->SetEnabled(true);
}

void TForm1::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  // The window goes first: taking thousands of nested panes down takes Qt
  // seconds, and a window standing meanwhile would look hung.
  SetVisible(false);
  // The host takes the panes and their content with it.
  delete FMainPanel;
  // Closing again must not free the host twice.
  FMainPanel = nullptr;
}
