#pragma once

#include <string>

#include "widgets/Component.h"
#include "widgets/Event.h"
#include "widgets/Exception.h"

class TForm;
class TControl;
class QApplication;
class QSocketNotifier;

using TExceptionEvent = TMethodEvent<TObject*, const Exception&>;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  // Sets up the platform: the Qt application, fonts with Traditional Chinese
  // glyphs. Safe to call more than once.
  void Initialize();
  // Destroys the forms, then the platform. Call once the run is over.
  void Finalize();

  // Creates a form of class T owned by the application; the first one
  // created is the main form.
  template <class T>
  void CreateForm(T*& AReference) {
    AReference = new T(this);
    if (FMainForm == nullptr) FMainForm = AReference;
  }

  TForm* MainForm() const { return FMainForm; }

  // Shows the main form and runs the event loop until it closes. While it
  // runs, the system asking the program to end (SIGTERM at a logout or a
  // shutdown, SIGHUP, SIGINT) calls OnEndSession, which must ask nothing,
  // and then ends the run; ExitCode() is then 128 + the signal's number.
  void Run();
  // From now on (Run does it too) the system asking the program to end is
  // taken as Run describes; a signal that comes before the event loop runs
  // waits for it. Call it before work done ahead of Run, such as opening
  // the file named on the command line.
  void ListenForEnding();
  // Whether the system asked the program to end (a signal came, handled
  // or not yet). Long work that keeps the event loop
  // waiting looks at this, stops and changes nothing (see TProgress).
  bool Ending() const;
  // Long work that cannot always stop at once (Qt placing thousands of
  // widgets in one call) names, while it runs, what must survive the
  // program being ended: ABytes for AFileName (or nothing, with no name).
  // If the system asks the program to end and the work has not returned
  // to the event loop half a second later, those bytes are written safely
  // from another thread and the program ends there with 128 + the
  // signal's number. WorkDone ends that.
  void KeepWhileWorking(const std::string& AFileName, std::string ABytes);
  void WorkDone();
  int ExitCode() const { return FExitCode; }
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Handles the events waiting, then returns.
  void ProcessMessages();

  // A short note shown at a control, the way a tooltip shows, for a few
  // seconds; with ABeep the user also hears that something was refused.
  // (AClearOf: a control whose outermost ring, where the program draws its
  // marks, the note leaves in sight, as it does the edge of AAt.)
  void ShowNote(TControl* AAt, const std::string& AText, bool ABeep = false,
                TControl* AClearOf = nullptr);
  // Takes a note shown away before its time.
  void HideNote();
  // The last note shown, for tests and assistive technology.
  const std::string& LastNote() const { return FLastNote; }
  // Tells assistive technology AText, which a screen reader speaks; nothing
  // shows. Told inside a command (TCommandScope), it waits until the
  // command ends and the keyboard has settled. A note is announced too.
  void Announce(const std::string& AText);
  // The last text announced, for tests.
  const std::string& LastAnnouncement() const { return FLastAnnouncement; }

  // The standard error dialog.
  void ShowException(const Exception& AError);
  // Reports an exception that escaped an event handler: OnException if set,
  // the standard dialog otherwise.
  void HandleException(const Exception& AError);

  TExceptionEvent OnException;
  TNotifyEvent OnEndSession;

  // Whether assistive technology (or a test standing in for it) follows the
  // program: names and their changes are wanted as things change. Without
  // it, names can wait until something asks.
  bool AssistiveTechnologyListening() const;
  // Raised when assistive technology starts to follow the program.
  TNotifyEvent OnAssistiveTechnology;

  // Layer internal.
  void FormDestroyed(TForm* AForm);

 private:
  QApplication* FQtApp = nullptr;
  bool FOwnsQtApp = false;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FRunning = false;  // inside Run's event loop
  int FExitCode = 0;
  std::string FLastNote;
  std::string FLastAnnouncement;
  QSocketNotifier* FEndingNotifier = nullptr;
  void EndSession(int ASignal);
  void StopListeningForEnding();
};

extern TApplication* Application;

// Marks a command that moves controls about, for as long as it runs. The
// keyboard may pass through other controls and the window on its way, but
// assistive technology hears only where it ends, once, when the outermost
// command ends, and then what the command announced.
class TCommandScope {
 public:
  TCommandScope();
  ~TCommandScope();
  TCommandScope(const TCommandScope&) = delete;
  TCommandScope& operator=(const TCommandScope&) = delete;
};
