#pragma once

#include "widgets/Control.h"

// A multi-line plain-text editor; its text is what the user typed.
class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* AOwner);

 protected:
  std::string GetText() const override;
  void TextChanged() override;
  void SizeChanged() override;
};
