#include "widgets/Button.h"

#include <QPushButton>

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner, new QPushButton) {
  auto* button = static_cast<QPushButton*>(Peer());
  // Enter activates a focused button too, as users expect.
  button->setAutoDefault(true);
  button->setFocusPolicy(Qt::StrongFocus);
  QObject::connect(button, &QPushButton::clicked, button, [this] { PeerClick(); });
  SetBounds(0, 0, 75, 25);
}

void TButton::TextChanged() {
  static_cast<QPushButton*>(Peer())->setText(QString::fromStdString(Text()));
}
