// The application entry.
#include "app/Unit1.h"
#include "widgets/Application.h"

int main() {
  try {
    Application->Initialize();
    Application->CreateForm(Form1);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  Application->Finalize();
  return 0;
}
