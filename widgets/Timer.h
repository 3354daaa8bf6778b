#pragma once

#include <memory>

#include "widgets/Component.h"
#include "widgets/Event.h"

// Raises OnTimer every Interval milliseconds while enabled.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  int Interval() const { return FInterval; }
  void SetInterval(int AMilliseconds);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AEnabled);

  TNotifyEvent OnTimer;

 private:
  struct TClock;
  std::unique_ptr<TClock> FClock;
  int FInterval = 1000;
  bool FEnabled = false;
};
