#pragma once

#include "widgets/Control.h"

// A push button: OnClick on a mouse click, or Space/Enter while focused.
class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* AOwner);

 protected:
  void TextChanged() override;
};
