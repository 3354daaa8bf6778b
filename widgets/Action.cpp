#include "widgets/Action.h"

#include <QKeySequence>
#include <QPointer>
#include <QShortcut>

#include "widgets/Control.h"
#include "widgets/Peer.h"

namespace {
// The keys whose codes differ from Qt's; letters and digits share theirs.
constexpr struct {
  unsigned Code;
  int Key;
} NamedKeys[] = {
    {VK_RETURN, Qt::Key_Return}, {VK_ESCAPE, Qt::Key_Escape},   {VK_LEFT, Qt::Key_Left},
    {VK_UP, Qt::Key_Up},         {VK_RIGHT, Qt::Key_Right},     {VK_DOWN, Qt::Key_Down},
    {VK_F3, Qt::Key_F3},         {VK_F6, Qt::Key_F6},           {VK_F10, Qt::Key_F10},
    {VK_OEM_PLUS, Qt::Key_Plus}, {VK_OEM_MINUS, Qt::Key_Minus},
};

int ToQtKey(unsigned ACode) {
  for (const auto& named : NamedKeys)
    if (named.Code == ACode) return named.Key;
  return static_cast<int>(ACode);
}
}  // namespace

unsigned KeyCodeOf(int AQtKey) {
  if (AQtKey == Qt::Key_Enter) return VK_RETURN;  // the keypad's
  for (const auto& named : NamedKeys)
    if (named.Key == AQtKey) return named.Code;
  if ((AQtKey >= Qt::Key_A && AQtKey <= Qt::Key_Z) || (AQtKey >= Qt::Key_0 && AQtKey <= Qt::Key_9))
    return static_cast<unsigned>(AQtKey);
  return 0;
}

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
