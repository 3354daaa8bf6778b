// The application entry.
#include <cstdlib>

#include "app/Unit1.h"
#include "widgets/Application.h"
#include "widgets/Timer.h"

int main() {
  try {
    Application->Initialize();
    Application->CreateForm(Form1);
    // For installation checks: the program leaves by its own command.
    if (const char* after = std::getenv("PANES_LEAVE_AFTER_MS")) {
      auto* timer = new TTimer(Form1);
      timer->SetInterval(std::atoi(after));
      timer->OnTimer = TNotifyEvent(Form1, &TForm1::Button5Click);
      timer->SetEnabled(true);
    }
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  Application->Finalize();
  return 0;
}
