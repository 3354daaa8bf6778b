#include "widgets/Button.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPushButton>

#include "widgets/Peer.h"

namespace {
// Qt's own button interface takes its key binding from a shortcut the button
// holds, which would clash with the action's; this one is told the keys.
class TButtonAccessible : public QAccessibleWidget {
 public:
  explicit TButtonAccessible(QPushButton* AButton)
      : QAccessibleWidget(AButton, QAccessible::Button) {}

  QString text(QAccessible::Text AText) const override {
    // The description stays the tooltip (QAccessibleWidget's fallback).
    if (AText == QAccessible::Name && widget()->accessibleName().isEmpty())
      return Button()->text().remove(QLatin1Char('&'));
    return QAccessibleWidget::text(AText);
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.pressed = Button()->isDown();
    return state;
  }
  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& AName) override {
    // Clicked a moment later, as a press would be, never inside the call.
    if (AName == pressAction())
      Button()->animateClick();
    else
      QAccessibleWidget::doAction(AName);
  }
  QStringList keyBindingsForAction(const QString& AName) const override {
    if (AName == pressAction() && !FKeys.isEmpty()) return {FKeys};
    return QAccessibleWidget::keyBindingsForAction(AName);
  }

  void SetKeys(const QString& AKeys) { FKeys = AKeys; }

 private:
  QPushButton* Button() const { return static_cast<QPushButton*>(widget()); }
  QString FKeys;
};

TButtonAccessible* ButtonAccessible(QWidget* APeer) {
  return dynamic_cast<TButtonAccessible*>(QAccessible::queryAccessibleInterface(APeer));
}
}  // namespace

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner, new QPushButton) {
  auto* button = static_cast<QPushButton*>(Peer());
  // Enter activates a focused button too, as users expect.
  button->setAutoDefault(true);
  button->setFocusPolicy(Qt::StrongFocus);
  QObject::connect(button, &QPushButton::clicked, button, [this] { PeerClick(); });
  // Registered before anyone asks, so it is the one Qt hands out (its own
  // factory would answer for any QPushButton first).
  QAccessible::registerAccessibleInterface(new TButtonAccessible(button));
  SetBounds(0, 0, 75, 25);
}

void TButton::SetShortCut(TShortCut AShortCut) {
  FShortCut = AShortCut;
  if (TButtonAccessible* accessible = ButtonAccessible(Peer()))
    accessible->SetKeys(QString::fromStdString(ShortCutToText(AShortCut)));
}

void TButton::TextChanged() {
  static_cast<QPushButton*>(Peer())->setText(QString::fromStdString(Text()));
}
