// The application entry.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/Unit1.h"
#include "widgets/Application.h"
#include "widgets/Timer.h"

namespace {
const char* const Usage =
    "Usage: panes [FILE]\n"
    "Divide a window into panes; FILE is a workspace (.panes) to open, or to\n"
    "save to when it does not exist yet.\n"
    "\n"
    "  --help     show this and leave\n"
    "  --version  show the version and leave\n";
}  // namespace

int main(int argc, char** argv) {
  std::string file;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      std::cout << Usage;
      return 0;
    } else if (options && arg == "--version") {
      std::cout << "panes " PANES_VERSION "\n";
      return 0;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      std::cerr << "panes: unknown option " << arg << "\n" << Usage;
      return 2;
    } else if (file.empty()) {
      file = arg;
    } else {
      std::cerr << "panes: one FILE at most\n" << Usage;
      return 2;
    }
  }
  try {
    Application->Initialize();
    Application->CreateForm(Form1);
    Application->OnEndSession = TNotifyEvent(Form1, &TForm1::EndSession);
    // For installation checks: the program leaves by its own command.
    if (const char* after = std::getenv("PANES_LEAVE_AFTER_MS")) {
      auto* timer = new TTimer(Form1);
      timer->SetInterval(std::atoi(after));
      timer->OnTimer = TNotifyEvent(Form1, &TForm1::Button5Click);
      timer->SetEnabled(true);
    }
    // From the start: opening a large file must not keep a logout waiting.
    Application->ListenForEnding();
    if (!file.empty()) {
      // The window shows first, so questions and messages have their place.
      Form1->Show();
      Form1->OpenAtStart(file);
    } else {
      // Typed work of windows without a file that ended unsaved.
      Form1->OfferRecovery();
    }
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  const int status = Application->ExitCode();
  // The system ends the program and the unsaved work is safe on the disk:
  // it leaves at once, without taking thousands of widgets down one by one.
  if (status > 128) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
  Application->Finalize();
  return status;
}
