#include "widgets/Action.h"

#include <QKeySequence>
#include <QPointer>
#include <QShortcut>

#include "widgets/Control.h"
#include "widgets/Peer.h"

namespace {
int ToQtKey(unsigned ACode) {
  switch (ACode) {
    case VK_LEFT:
      return Qt::Key_Left;
    case VK_UP:
      return Qt::Key_Up;
    case VK_RIGHT:
      return Qt::Key_Right;
    case VK_DOWN:
      return Qt::Key_Down;
    case VK_F3:
      return Qt::Key_F3;
    case VK_F6:
      return Qt::Key_F6;
    case VK_F10:
      return Qt::Key_F10;
    case VK_OEM_PLUS:
      return Qt::Key_Plus;
    case VK_OEM_MINUS:
      return Qt::Key_Minus;
    default:
      // Letters and digits share their codes with Qt's keys.
      return static_cast<int>(ACode);
  }
}

}  // namespace

QKeySequence ToKeySequence(TShortCut AShortCut) {
  int modifiers = 0;
  if (AShortCut & scShift) modifiers |= Qt::SHIFT;
  if (AShortCut & scCtrl) modifiers |= Qt::CTRL;
  if (AShortCut & scAlt) modifiers |= Qt::ALT;
  return QKeySequence(modifiers | ToQtKey(AShortCut & 0xFF));
}

std::string ShortCutToText(TShortCut AShortCut) {
  if (AShortCut == 0) return {};
  return ToKeySequence(AShortCut).toString(QKeySequence::PortableText).toStdString();
}

struct TAction::TKeys {
  QPointer<QShortcut> Shortcut;
  QPointer<QShortcut> Second;
};

TAction::TAction(TWinControl* AOwner)
    : TComponent(AOwner), FWindow(AOwner), FKeys(std::make_unique<TKeys>()) {}

TAction::~TAction() {
  delete FKeys->Shortcut;
  delete FKeys->Second;
}

QShortcut* TAction::Bind(TShortCut AShortCut) {
  if (AShortCut == 0 || FWindow == nullptr) return nullptr;
  // Window-wide: it works wherever the keyboard is inside the window.
  auto* shortcut = new QShortcut(ToKeySequence(AShortCut), FWindow->Peer());
  shortcut->setContext(Qt::WindowShortcut);
  shortcut->setAutoRepeat(true);
  QObject::connect(shortcut, &QShortcut::activated, shortcut,
                   [this] { Dispatch([this] { Execute(); }); });
  return shortcut;
}

void TAction::SetShortCut(TShortCut AShortCut) {
  FShortCut = AShortCut;
  delete FKeys->Shortcut;
  FKeys->Shortcut = Bind(AShortCut);
}

void TAction::AddSecondShortCut(TShortCut AShortCut) {
  delete FKeys->Second;
  FKeys->Second = Bind(AShortCut);
}

void TAction::Execute() { OnExecute(this); }
