#pragma once
// The main window: a toolbar of seven commands over the area the panes live in.

#include "app/SplitPanel.h"
#include "widgets/Action.h"
#include "widgets/Button.h"
#include "widgets/Form.h"
#include "widgets/FormStream.h"
#include "widgets/Memo.h"
#include "widgets/Panel.h"
#include "widgets/Splitter.h"
#include "widgets/StringGrid.h"

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
  void UndoDeleteExecute(TObject* Sender);
  void RedoDeleteExecute(TObject* Sender);

  explicit TForm1(TComponent* Owner);
  ~TForm1() override;

  // What the window layout may bind: the fields and handlers above.
  static const TFormClassInfo& ClassInfo();

  TMainPanel* MainPanel() const { return FMainPanel; }

 private:
  void CreateActions();
  void KeepToolbarWhole();

  TMainPanel* FMainPanel;
};

extern TForm1* Form1;
