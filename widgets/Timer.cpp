#include "widgets/Timer.h"

#include <QTimer>

#include "widgets/Peer.h"

struct TTimer::TClock {
  QTimer Timer;
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), FClock(std::make_unique<TClock>()) {
  QObject::connect(&FClock->Timer, &QTimer::timeout, [this] { Dispatch([this] { OnTimer(this); }); });
}

TTimer::~TTimer() = default;

void TTimer::SetInterval(int AMilliseconds) {
  FInterval = AMilliseconds;
  FClock->Timer.setInterval(AMilliseconds);
}

void TTimer::SetEnabled(bool AEnabled) {
  FEnabled = AEnabled;
  if (AEnabled)
    FClock->Timer.start(FInterval);
  else
    FClock->Timer.stop();
}
