#include "widgets/Application.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>

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
