#include "widgets/Memo.h"

#include <QPlainTextEdit>

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner, new QPlainTextEdit) {
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  editor->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  QPalette palette = editor->palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  editor->setPalette(palette);
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
}

std::string TMemo::GetText() const {
  return static_cast<QPlainTextEdit*>(Peer())->toPlainText().toStdString();
}

void TMemo::TextChanged() {
  static_cast<QPlainTextEdit*>(Peer())->setPlainText(QString::fromStdString(TControl::GetText()));
}
