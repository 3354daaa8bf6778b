#include "widgets/Memo.h"

#include <QPlainTextEdit>

#include "widgets/Peer.h"

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner, new QPlainTextEdit) {
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // No scroll bars, as the classic editor has by default: the caret still
  // scrolls the text, and a wrapped text in a narrow pane can no longer make
  // a scroll bar come and go for ever (each showing re-wraps the text).
  editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  QPalette palette = editor->palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  editor->setPalette(palette);
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
  WatchInput(this);
}

std::string TMemo::GetText() const {
  return static_cast<QPlainTextEdit*>(Peer())->toPlainText().toStdString();
}

void TMemo::TextChanged() {
  static_cast<QPlainTextEdit*>(Peer())->setPlainText(QString::fromStdString(TControl::GetText()));
}
