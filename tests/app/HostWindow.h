#pragma once
// A window laid out like the main one: a client panel that owns the host and
// every pane, the host beside it filling the window, and the client panel's
// resize running the layout pass. Used by the tests and the benchmark.

#include <memory>

#include "app/SplitPanel.h"
#include "widgets/Form.h"
#include "widgets/Panel.h"

class HostWindow : public TObject {
 public:
  HostWindow(int AWidth, int AHeight) {
    Form.reset(TForm::CreateNew(nullptr));
    Form->SetClientSize(AWidth, AHeight);
    Owner = new TPanel(Form.get());
    Owner->SetParent(Form.get());
    Owner->SetAlign(alClient);
    Owner->OnResize = TNotifyEvent(this, &HostWindow::OwnerResize);
    Host = new TMainPanel(Owner);
    Host->SetParent(Form.get());
    Host->SetAlign(alClient);
  }
  ~HostWindow() override {
    delete Host;
    Form.reset();
  }
  void OwnerResize(TObject* /*Sender*/) { Host->ResizePanes(); }

  TSplitPanel* Current() const { return Host->FCurrent; }
  TSplitPanel* Root() const { return Host->FRoot; }

  std::unique_ptr<TForm> Form;
  TPanel* Owner = nullptr;
  TMainPanel* Host = nullptr;
};
