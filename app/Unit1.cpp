#include "app/Unit1.h"

TForm1* Form1 = nullptr;
TMemo* ContentMemo = nullptr;
TStringGrid* ContentGrid = nullptr;

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
       Handler("Panel2Resize", &TForm1::Panel2Resize),
       Handler("FormClose", &TForm1::FormClose)}};
  return info;
}

TForm1::TForm1(TComponent* Owner) : TForm(Owner), FMainPanel(nullptr) {
  InitInheritedComponent(ClassInfo());
}

TForm1::~TForm1() {
  // A window destroyed without being closed still releases what it made,
  // while it can still hear about it.
  delete ContentMemo;
  delete ContentGrid;
  delete FMainPanel;
}

void TForm1::Notification(TComponent* AComponent, TOperation AOperation) {
  TForm::Notification(AComponent, AOperation);
  if (AOperation != opRemove) return;
  // A pane removal can take the editor or the grid with it.
  if (AComponent == ContentMemo) ContentMemo = nullptr;
  if (AComponent == ContentGrid) ContentGrid = nullptr;
}

void TForm1::Button1Click(TObject* /*Sender*/) {
  if (FMainPanel != nullptr) return;
  FMainPanel = new TMainPanel(Panel2);
  FMainPanel->SetParent(this);
  FMainPanel->SetAlign(alClient);
}

void TForm1::Button2Click(TObject* /*Sender*/) {
  if (FMainPanel != nullptr) FMainPanel->SplitCurrent(alTop, 0.5f);
}

void TForm1::Button3Click(TObject* /*Sender*/) {
  if (FMainPanel != nullptr) FMainPanel->SplitCurrent(alLeft, 0.5f);
}

void TForm1::Button4Click(TObject* /*Sender*/) {
  if (FMainPanel != nullptr) FMainPanel->DeleteCurrent();
}

void TForm1::Button5Click(TObject* /*Sender*/) { Close(); }

// Puts a new content control of class T into the current pane, unless one
// exists (a removal may have destroyed the last one; then a new one comes).
template <class T>
void TForm1::PutIntoCurrentPane(T*& AContent) {
  if (FMainPanel == nullptr || AContent != nullptr) return;
  // Into a split pane it would lie hidden under the halves.
  FMainPanel->MoveCurrentToLeaf();
  TSplitPanel* pane = FMainPanel->FCurrent;
  AContent = new T(pane->Owner());
  AContent->FreeNotification(this);
  AContent->SetAlign(alClient);
  pane->InsertContent(AContent);
  // Typing goes where the user just put the editor or the grid.
  AContent->SetFocus();
}

void TForm1::Button6Click(TObject* /*Sender*/) { PutIntoCurrentPane(ContentMemo); }

void TForm1::Button7Click(TObject* /*Sender*/) { PutIntoCurrentPane(ContentGrid); }

void TForm1::Panel2Resize(TObject* /*Sender*/) {
  if (FMainPanel != nullptr) FMainPanel->ResizePanes();
}

void TForm1::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  // The free notifications clear the variables as these go.
  delete ContentMemo;
  delete ContentGrid;
  delete FMainPanel;
  // Closing again must not free the host twice.
  FMainPanel = nullptr;
}
