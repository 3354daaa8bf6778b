#pragma once

#include "widgets/Action.h"
#include "widgets/Control.h"

// A push button: OnClick on a mouse click, or Space/Enter while focused.
class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* AOwner);

  // The keys that run the button's command elsewhere (an action's shortcut),
  // told to assistive technology as the key binding of its press. The button
  // does not take them itself: the action does.
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut AShortCut);

 protected:
  void TextChanged() override;

 private:
  TShortCut FShortCut = 0;
};
