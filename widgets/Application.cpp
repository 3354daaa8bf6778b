#include "widgets/Application.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "widgets/Files.h"
#include "widgets/Form.h"
#include "widgets/Peer.h"
#include "widgets/Resources.h"

namespace {
TApplication gApplication(nullptr);

// Qt keeps one list of every event posted and not yet delivered. Before it
// posts a layout request to a widget with any event waiting, it looks
// through the whole list for a request already there. Showing a thousand
// editors and grids posts thousands of events (each shown widget asks to be
// repainted, each scroll bar's new range asks for a layout), and each
// request looked through them all, nearly always in vain. The widgets with
// a request waiting are known here instead, each until its request is
// delivered: a second request to one of them is merged at once, and any
// other is posted without a search. A request this did not see (Qt asks
// only when the widget has an event waiting) may be posted twice, which
// costs a second layout and no more.
class TQtApplication final : public QApplication {
 public:
  using QApplication::QApplication;

 protected:
  bool compressEvent(QEvent* AEvent, QObject* AReceiver, QPostEventList* APosted) override {
    if (AEvent->type() != QEvent::LayoutRequest || !InOwnThread())
      return QApplication::compressEvent(AEvent, AReceiver, APosted);
    const auto due = FLayoutDue.find(AReceiver);
    if (due != FLayoutDue.end() && !due->second.isNull()) {
      delete AEvent;
      return true;
    }
    if (FLayoutDue.size() >= FForgetAt) Forget();
    FLayoutDue[AReceiver] = AReceiver;
    return false;
  }

  bool notify(QObject* AReceiver, QEvent* AEvent) override {
    if (AEvent->type() == QEvent::LayoutRequest && InOwnThread()) FLayoutDue.erase(AReceiver);
    return QApplication::notify(AReceiver, AEvent);
  }

 private:
  bool InOwnThread() const { return QThread::currentThread() == thread(); }

  // Widgets deleted with a request waiting go; looked for again once as
  // many more are known.
  void Forget() {
    for (auto it = FLayoutDue.begin(); it != FLayoutDue.end();)
      it = it->second.isNull() ? FLayoutDue.erase(it) : std::next(it);
    FForgetAt = std::max<size_t>(4096, 2 * FLayoutDue.size());
  }

  std::unordered_map<QObject*, QPointer<QObject>> FLayoutDue;
  size_t FForgetAt = 4096;
};
}  // namespace

TApplication* Application = &gApplication;

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) { WatchAssistiveTechnology(); }

bool TApplication::AssistiveTechnologyListening() const { return AccessibleListening(); }

TApplication::~TApplication() {
  // Qt's own globals may be gone by now: whatever Finalize did not release is
  // left to the process's end rather than torn down against a dead Qt.
  if (Application == this) Application = nullptr;
}

void TApplication::Finalize() {
  // Forms and their peers go before the Qt application they live in.
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
  FMainForm = nullptr;
  if (FOwnsQtApp) delete FQtApp;
  FQtApp = nullptr;
  FOwnsQtApp = false;
}

void TApplication::Initialize() {
  if (FQtApp != nullptr) return;
  FQtApp = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (FQtApp == nullptr) {
    static int argc = 1;
    static char name[] = "panes";
    static char* argv[] = {name, nullptr};
    FQtApp = new TQtApplication(argc, argv);
    FOwnsQtApp = true;
  }
  // The window's classic fonts are not on Linux desktops: stand in with a
  // sans face, and a face with Traditional Chinese glyphs behind it.
  const QStringList fallbacks = {"DejaVu Sans", "WenQuanYi Micro Hei", "Noto Sans CJK TC"};
  QFont::insertSubstitutions("MS Sans Serif", fallbacks);
  QFont font = QApplication::font();
  font.setFamilies(QStringList{"DejaVu Sans", "WenQuanYi Micro Hei", "Noto Sans CJK TC"});
  QApplication::setFont(font);
  const std::string_view icon = FindResource("MAINICON");
  QPixmap pixmap;
  if (!icon.empty() && pixmap.loadFromData(reinterpret_cast<const uchar*>(icon.data()),
                                           static_cast<uint>(icon.size())))
    QApplication::setWindowIcon(QIcon(pixmap));
}

namespace {
// A signal handler may do next to nothing: it passes the signal's number
// down a socket, and the event loop takes it from there. It also leaves the
// number where long work that keeps the event loop waiting looks for it.
int gSignalSocket[2] = {-1, -1};
volatile std::sig_atomic_t gPendingSignal = 0;
constexpr int EndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The watch over long work: a thread that hears the same signals. Should
// the event loop not take one within EndingPatience, while work that
// cannot always stop at once runs, it keeps what that work left to keep
// and ends the program itself.
int gWatchSocket[2] = {-1, -1};
constexpr auto EndingPatience = std::chrono::milliseconds(500);
std::mutex gWatchLock;
bool gEndingTaken = false;  // the event loop ends the program
bool gKeepArmed = false;    // long work runs
std::string gKeepFileName;  // and this is to be kept, if named
std::string gKeepBytes;
std::thread* gWatch = nullptr;

void PassSignal(int ASignal) {
  gPendingSignal = ASignal;
  const char number = static_cast<char>(ASignal);
  [[maybe_unused]] const auto written = ::write(gSignalSocket[0], &number, 1);
  [[maybe_unused]] const auto told = ::write(gWatchSocket[0], &number, 1);
}

bool EndingTaken() {
  std::lock_guard<std::mutex> lock(gWatchLock);
  return gEndingTaken;
}

void WatchForEnding() {
  for (;;) {
    char number = 0;
    if (::read(gWatchSocket[1], &number, 1) != 1 || number == 0) return;  // 0: stop watching
    const auto deadline = std::chrono::steady_clock::now() + EndingPatience;
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(gWatchLock);
        if (gEndingTaken) return;
        if (std::chrono::steady_clock::now() >= deadline && gKeepArmed) {
          // The main thread is deep in work it cannot leave yet: what it
          // left to keep goes to the disk from here, safely, and the
          // program ends as the event loop would have ended it.
          std::string problem;
          if (!gKeepFileName.empty()) SaveToFile(gKeepFileName, gKeepBytes, problem);
          std::fflush(nullptr);
          std::_Exit(128 + number);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}
}  // namespace

void TApplication::KeepWhileWorking(const std::string& AFileName, std::string ABytes) {
  std::lock_guard<std::mutex> lock(gWatchLock);
  gKeepArmed = true;
  gKeepFileName = AFileName;
  gKeepBytes = std::move(ABytes);
}

void TApplication::WorkDone() {
  std::lock_guard<std::mutex> lock(gWatchLock);
  gKeepArmed = false;
  gKeepFileName.clear();
  gKeepBytes.clear();
}

void TApplication::ListenForEnding() {
  if (FEndingNotifier != nullptr) return;
  if (gSignalSocket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalSocket) != 0) return;
  if (gWatchSocket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, gWatchSocket) != 0) return;
  gWatch = new std::thread(WatchForEnding);
  FEndingNotifier = new QSocketNotifier(gSignalSocket[1], QSocketNotifier::Read);
  QObject::connect(FEndingNotifier, &QSocketNotifier::activated, [this] {
    char number = 0;
    // A leave asked for before (its loop may not run yet) does not stand in
    // the way: only an ending already taken does.
    if (::read(gSignalSocket[1], &number, 1) == 1 && !EndingTaken()) EndSession(number);
  });
  for (const int signal : EndSignals) std::signal(signal, PassSignal);
}

void TApplication::StopListeningForEnding() {
  for (const int signal : EndSignals) std::signal(signal, SIG_DFL);
  delete FEndingNotifier;
  FEndingNotifier = nullptr;
  if (gWatch != nullptr) {
    const char stop = 0;
    [[maybe_unused]] const auto written = ::write(gWatchSocket[0], &stop, 1);
    gWatch->join();
    delete gWatch;
    gWatch = nullptr;
  }
}

bool TApplication::Ending() const { return gPendingSignal != 0; }

void TApplication::EndSession(int ASignal) {
  {
    // The watch stands down: the ending is taken here.
    std::lock_guard<std::mutex> lock(gWatchLock);
    gEndingTaken = true;
  }
  FExitCode = 128 + ASignal;
  try {
    OnEndSession(this);
  } catch (const Exception& e) {
    HandleException(e);
  }
  // Not quit(): that closes every window first, and a window may ask.
  FTerminated = true;
  QCoreApplication::exit(FExitCode);
}

void TApplication::Run() {
  if (FMainForm == nullptr || FTerminated) return;
  FMainForm->Show();
  SyncPeers();
  // A signal that came while the program started (opening a file, say)
  // waits in the socket: the loop takes it at once.
  ListenForEnding();
  FRunning = true;
  QApplication::exec();
  FRunning = false;
  StopListeningForEnding();
}

void TApplication::Terminate() {
  FTerminated = true;
  if (FRunning) {
    QCoreApplication::quit();
    return;
  }
  // Before the run only a question's own loop runs, where quit() does
  // nothing: every loop ends, so the question ends as its Escape would and
  // any asked after it does at once; Run returns at once.
  QCoreApplication::exit(0);
}

void TApplication::ProcessMessages() {
  SyncPeers();
  QCoreApplication::processEvents();
  SyncPeers();
}

namespace {
class TNoteLabel;
// The notes on the screen: hiding them costs no walk over every widget.
std::vector<QPointer<TNoteLabel>> gShownNotes;

// A note over the window in a tooltip's colours, gone after a few seconds.
// It lies inside the window rather than in a window of its own, so it shows
// on every platform, and assistive technology hears it as an alert.
class TNoteLabel : public QLabel {
 public:
  explicit TNoteLabel(QWidget* AWindow) : QLabel(AWindow) {
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(3);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    FTimer.setSingleShot(true);
    QObject::connect(&FTimer, &QTimer::timeout, this, &QWidget::hide);
  }
  // Shows AText at the control that lies at AArea of the window: inside it
  // where it fits, else next to it, never over its edge (where the program
  // draws its marks), and never over AKeepClear, a field in it being typed
  // into.
  void Show(const QString& AText, const QRect& AArea, const QRect& AKeepClear,
            const QRect& ARingClear) {
    setText(AText);
    setAccessibleName(AText);
    setWordWrap(false);
    adjustSize();
    // Wider than the control: wrapped to its width, where the lines then fit
    // in it and no word is wider than it.
    const int room = AArea.width() - 7;
    if (width() > room && room > 0) {
      setWordWrap(true);
      const int height = heightForWidth(room);
      if (minimumSizeHint().width() <= room && height > 0 && height <= AArea.height() - 7) {
        resize(room, height);
      } else {
        setWordWrap(false);
        adjustSize();
      }
    }
    const QRect window = parentWidget()->rect();
    const QSize size = this->size();
    // Beside the control, slid along its side as far as the window needs.
    const auto alongX = [&](QPoint AAt) {
      AAt.setX(std::clamp(AAt.x(), 0, std::max(0, window.width() - size.width())));
      return QRect(AAt, size);
    };
    const auto alongY = [&](QPoint AAt) {
      AAt.setY(std::clamp(AAt.y(), 0, std::max(0, window.height() - size.height())));
      return QRect(AAt, size);
    };
    const QPoint within = AKeepClear.isValid() ? QPoint(AArea.left() + 4, AKeepClear.bottom() + 4)
                                               : AArea.topLeft() + QPoint(4, 4);
    const QRect candidates[] = {
        QRect(within, size),
        alongX(QPoint(AArea.left(), AArea.bottom() + 2)),
        alongX(QPoint(AArea.left(), AArea.top() - 2 - size.height())),
        alongY(QPoint(AArea.right() + 2, AArea.top())),
        alongY(QPoint(AArea.left() - 2 - size.width(), AArea.top())),
    };
    const QRect* at = nullptr;
    for (const QRect& candidate : candidates) {
      const bool inside = &candidate == &candidates[0];
      if (!window.contains(candidate)) continue;
      if (candidate.intersects(ARingClear) &&
          !ARingClear.adjusted(1, 1, -1, -1).contains(candidate))
        continue;
      if (inside ? AArea.adjusted(3, 3, -3, -3).contains(candidate) &&
                       !candidate.intersects(AKeepClear)
                 : !candidate.intersects(AArea)) {
        at = &candidate;
        break;
      }
    }
    // In a window too small for it the beep and assistive technology tell.
    if (at != nullptr) {
      move(at->topLeft());
      raise();
      show();
      if (std::find(gShownNotes.begin(), gShownNotes.end(), this) == gShownNotes.end())
        gShownNotes.emplace_back(this);
    }
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
    FTimer.start(4000);
    qApp->installEventFilter(this);
  }

 protected:
  // Gone at the user's next key or click, as a tooltip is, and when the
  // window changes size and the control moves away from under it.
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    const QEvent::Type type = AEvent->type();
    if (type == QEvent::KeyPress || type == QEvent::MouseButtonPress ||
        (type == QEvent::Resize && AObject == parentWidget()))
      hide();
    return QLabel::eventFilter(AObject, AEvent);
  }
  void hideEvent(QHideEvent* AEvent) override {
    qApp->removeEventFilter(this);
    QLabel::hideEvent(AEvent);
  }

 private:
  QTimer FTimer;
};

QAccessibleInterface* NoteAccessible(const QString& /*AClassName*/, QObject* AObject) {
  if (auto* note = dynamic_cast<TNoteLabel*>(AObject))
    return new QAccessibleWidget(note, QAccessible::AlertMessage);
  return nullptr;
}
}  // namespace

void TApplication::ShowNote(TControl* AAt, const std::string& AText, bool ABeep,
                            TControl* AClearOf) {
  FLastNote = AText;
  // Heard whether or not the window has room to show it.
  Announce(AText);
  if (ABeep) QApplication::beep();
  QWidget* handle = AAt != nullptr ? AAt->Handle() : nullptr;
  if (handle == nullptr || !handle->isVisible()) return;
  static const bool factory = (QAccessible::installFactory(NoteAccessible), true);
  (void)factory;
  QWidget* window = handle->window();
  auto* note = ChildOfClass<TNoteLabel>(window);
  if (note == nullptr) note = new TNoteLabel(window);
  // At the control, where the eye already is.
  const TRect area = AAt->HandleRect();
  // A field of the control's own holding the keys (the editor's find bar, a
  // grid's cell being edited) stays in sight: the note goes below it.
  QRect keepClear;
  QWidget* focus = QApplication::focusWidget();
  if (AAt->Peer() != nullptr && focus != nullptr && AAt->Peer()->isAncestorOf(focus))
    keepClear = QRect(focus->mapTo(window, QPoint()), focus->size());
  QRect ringClear;
  if (AClearOf != nullptr && AClearOf->Handle() != nullptr && AClearOf->Handle()->isVisible()) {
    const TRect ring = AClearOf->HandleRect();
    ringClear = QRect(AClearOf->Handle()->mapTo(window, QPoint(ring.Left, ring.Top)),
                      QSize(ring.Width(), ring.Height()));
  }
  note->Show(
      QString::fromStdString(AText),
      QRect(handle->mapTo(window, QPoint(area.Left, area.Top)), QSize(area.Width(), area.Height())),
      keepClear, ringClear);
}

void TApplication::HideNote() {
  std::vector<QPointer<TNoteLabel>> shown;
  shown.swap(gShownNotes);
  for (const QPointer<TNoteLabel>& note : shown)
    if (note != nullptr) note->hide();
}

void TApplication::ShowException(const Exception& AError) {
  QWidget* parent = FMainForm != nullptr ? FMainForm->Peer() : nullptr;
  QMessageBox::critical(parent, QStringLiteral("panes"), QString::fromStdString(AError.Message()));
}

void TApplication::HandleException(const Exception& AError) {
  if (OnException)
    OnException(this, AError);
  else
    ShowException(AError);
}

void TApplication::FormDestroyed(TForm* AForm) {
  if (FMainForm == AForm) FMainForm = nullptr;
}

void ReportHandlerException(const std::exception* AError) {
  if (Application == nullptr) return;
  if (const auto* own = dynamic_cast<const Exception*>(AError)) {
    Application->HandleException(*own);
    return;
  }
  Application->HandleException(Exception(AError != nullptr ? AError->what() : "Unknown error"));
}
