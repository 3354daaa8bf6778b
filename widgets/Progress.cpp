#include "widgets/Progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <algorithm>

#include "widgets/Application.h"
#include "widgets/Control.h"

namespace {
// How long work runs before its window shows, and how often it looks at
// the events meanwhile, in milliseconds: often enough for Escape and the
// system's signals to be answered at once, seldom enough to cost nothing.
constexpr long long ShowAfter = 500;
constexpr long long LookEvery = 30;
bool gEveryStep = false;
}  // namespace

void TProgress::EveryStepForTests(bool AEveryStep) { gEveryStep = AEveryStep; }

TProgress::TProgress(TControl* AOwner, const std::string& AText, long AMaximum)
    : FOwner(AOwner), FText(AText), FMaximum(AMaximum), FClock(new QElapsedTimer) {
  FClock->start();
}

TProgress::~TProgress() {
  delete FDialog;
  delete FClock;
}

void TProgress::Finishing(const std::string& AText) {
  if (FDialog == nullptr) return;
  FDialog->setLabelText(QString::fromStdString(AText));
  // Greyed out, where it stays (the window keeps its size): it could not
  // be honoured.
  if (auto* cancel = FDialog->findChild<QPushButton*>()) cancel->setEnabled(false);
  // The bar itself: the dialog's own setValue would handle events.
  if (auto* bar = FDialog->findChild<QProgressBar*>()) bar->setValue(bar->maximum());
  // Painted now, without handling any event: what comes now (the system
  // ending the program, say) waits for the work to end, as the work
  // cannot stop for it.
  FDialog->repaint();
}

bool TProgress::Step(long APosition) {
  if (FStopped) return false;
  if (Application->Ending()) {
    FStopped = true;
    return false;
  }
  const long long now = FClock->elapsed();
  if (now - FLastLook < LookEvery && !gEveryStep) return true;
  FLastLook = now;
  if (FDialog == nullptr && (now >= ShowAfter || gEveryStep)) {
    QWidget* window =
        FOwner != nullptr && FOwner->Handle() != nullptr ? FOwner->Handle()->window() : nullptr;
    FDialog = new QProgressDialog(QString::fromStdString(FText), QStringLiteral("Cancel"), 0, 100,
                                  window);
    FDialog->setWindowTitle(QStringLiteral("Panes"));
    // Nothing else takes input while the work runs: the window and its
    // commands would act on what the work is about to replace.
    FDialog->setWindowModality(Qt::ApplicationModal);
    FDialog->setMinimumDuration(0);
    FDialog->setAutoClose(false);
    FDialog->setAutoReset(false);
    // Escape rejects the dialog, which by itself only hides it.
    QObject::connect(FDialog, &QDialog::rejected, FDialog, &QProgressDialog::cancel);
    FDialog->show();
  }
  if (FDialog != nullptr) {
    const long percent =
        FMaximum > 0 ? std::min(100L, std::max(0L, APosition * 100 / FMaximum)) : 0;
    // A modal dialog's setValue handles the events itself, as below.
    if (FDialog->value() != percent) FDialog->setValue(static_cast<int>(percent));
  }
  // Before the window shows, the user's input waits: the work is short,
  // and a key must not act on what the work is replacing.
  QCoreApplication::processEvents(FDialog != nullptr ? QEventLoop::AllEvents
                                                     : QEventLoop::ExcludeUserInputEvents);
  if (FDialog != nullptr && FDialog->wasCanceled()) FCancelled = true;
  FStopped = FCancelled || Application->Ending();
  return !FStopped;
}
