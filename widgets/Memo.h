#pragma once

#include "widgets/Control.h"

// A multi-line plain-text editor; its text is what the user typed.
class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* AOwner);

  // Raised whenever the text changes, by typing or by the program.
  TNotifyEvent OnChange;

 protected:
  std::string GetText() const override;
  void TextChanged() override;
  void SizeChanged() override;
};
