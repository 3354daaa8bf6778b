#pragma once
// Long work the user can see and stop.

#include <string>

class TControl;
class QElapsedTimer;
class QProgressDialog;

// Work that may take long (opening a large file) runs in the event loop's
// stead and calls Step as it goes. After half a second a small window over
// AOwner's shows how far it is; Escape or its Cancel button asks the work
// to stop. Meanwhile that window alone takes the user's input, and the
// program keeps painting and hears the system asking it to end: that stops
// the work too, and the ending follows as usual once the work has returned.
// Work that is told to stop must leave everything as it found it.
class TProgress {
 public:
  TProgress(TControl* AOwner, const std::string& AText, long AMaximum);
  ~TProgress();
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;

  // The work has done APosition of AMaximum: false when it is to stop.
  bool Step(long APosition);
  // The last stretch, which cannot stop: the window, if up, says AText
  // and offers no Cancel any more.
  void Finishing(const std::string& AText);
  // Step said stop: the user cancelled, or the program is ending.
  bool Stopped() const { return FStopped; }
  bool Cancelled() const { return FCancelled; }
  // Whether the window showing the progress is up (for tests).
  bool Shown() const { return FDialog != nullptr; }

  // For tests: the window shows at the first step, and every step looks at
  // the events.
  static void EveryStepForTests(bool AEveryStep);

 private:
  TControl* FOwner;
  std::string FText;
  long FMaximum;
  QElapsedTimer* FClock;
  long long FLastLook = 0;
  QProgressDialog* FDialog = nullptr;
  bool FStopped = false;
  bool FCancelled = false;
};
