#pragma once
// Commands with keyboard shortcuts, the way a form's action list holds them.

#include <memory>
#include <string>

#include "widgets/Component.h"
#include "widgets/Event.h"

class QShortcut;
class TWinControl;

// A key with its modifiers: the key's code (letters as capitals, digits and
// "=" as themselves, VK_* for the rest) plus any of scShift, scCtrl and scAlt.
using TShortCut = unsigned;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr unsigned VK_RETURN = 0x0D;
constexpr unsigned VK_ESCAPE = 0x1B;
constexpr unsigned VK_LEFT = 0x25;
constexpr unsigned VK_UP = 0x26;
constexpr unsigned VK_RIGHT = 0x27;
constexpr unsigned VK_DOWN = 0x28;
constexpr unsigned VK_F3 = 0x72;
constexpr unsigned VK_F6 = 0x75;
constexpr unsigned VK_F10 = 0x79;
constexpr unsigned VK_OEM_PLUS = 0xBB;   // Ctrl++: Ctrl+Shift and the "=" key on most layouts
constexpr unsigned VK_OEM_MINUS = 0xBD;  // Ctrl+-

// "Ctrl+Shift+O", "Alt+Left", "F6".
std::string ShortCutToText(TShortCut AShortCut);

// A command the user can run with its shortcut anywhere in the window of
// the control that owns it, also while an editor inside has the keyboard.
class TAction : public TComponent {
 public:
  explicit TAction(TWinControl* AOwner);
  ~TAction() override;

  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut AShortCut);
  // One more key that runs it, as Ctrl+= beside Ctrl++ where "+" takes Shift.
  void AddSecondShortCut(TShortCut AShortCut);
  // What the command does, in a few words.
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& AHint) { FHint = AHint; }
  // Free for the handler: which of several similar commands ran.
  int Tag() const { return FTag; }
  void SetTag(int ATag) { FTag = ATag; }

  // Runs OnExecute, as the shortcut does.
  void Execute();

  TNotifyEvent OnExecute;

 private:
  struct TKeys;
  QShortcut* Bind(TShortCut AShortCut);
  TWinControl* FWindow;
  std::unique_ptr<TKeys> FKeys;
  TShortCut FShortCut = 0;
  std::string FHint;
  int FTag = 0;
};
