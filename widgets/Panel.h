#pragma once

#include "widgets/Control.h"

// A raised, one-pixel bevelled panel with its caption centred.
class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* AOwner);

  TRect ClientRect() const override;
  int BevelWidth() const { return 1; }

 protected:
  void TextChanged() override;
};
