#include "widgets/Application.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

#include "widgets/Form.h"
#include "widgets/Peer.h"
#include "widgets/Resources.h"

namespace {
TApplication gApplication(nullptr);
}

TApplication* Application = &gApplication;

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

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
    FQtApp = new QApplication(argc, argv);
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
  if (!icon.empty() &&
      pixmap.loadFromData(reinterpret_cast<const uchar*>(icon.data()),
                          static_cast<uint>(icon.size())))
    QApplication::setWindowIcon(QIcon(pixmap));
}

void TApplication::Run() {
  if (FMainForm == nullptr || FTerminated) return;
  FMainForm->Show();
  SyncPeers();
  QApplication::exec();
}

void TApplication::Terminate() {
  FTerminated = true;
  QCoreApplication::quit();
}

void TApplication::ProcessMessages() {
  SyncPeers();
  QCoreApplication::processEvents();
  SyncPeers();
}

namespace {
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
  void Show(const QString& AText, QPoint AAt) {
    setText(AText);
    setAccessibleName(AText);
    adjustSize();
    // Wholly inside the window, however small it is.
    const QSize room = parentWidget()->size() - size();
    move(std::clamp(AAt.x(), 0, std::max(0, room.width())), std::clamp(AAt.y(), 0, std::max(0, room.height())));
    raise();
    show();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
    FTimer.start(4000);
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

void TApplication::ShowNote(TControl* AAt, const std::string& AText, bool ABeep) {
  FLastNote = AText;
  if (ABeep) QApplication::beep();
  QWidget* handle = AAt != nullptr ? AAt->Handle() : nullptr;
  if (handle == nullptr || !handle->isVisible()) return;
  static const bool factory = (QAccessible::installFactory(NoteAccessible), true);
  (void)factory;
  QWidget* window = handle->window();
  auto* note = window->findChild<TNoteLabel*>(QString(), Qt::FindDirectChildrenOnly);
  if (note == nullptr) note = new TNoteLabel(window);
  // Near the control's top left corner, inside it, where the eye already is.
  const TRect area = AAt->HandleRect();
  note->Show(QString::fromStdString(AText), handle->mapTo(window, QPoint(area.Left + 6, area.Top + 6)));
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
