#include "widgets/Memo.h"

#include <QPlainTextEdit>
#include <QStyle>

#include "widgets/Peer.h"

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner, new QPlainTextEdit) {
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Lines wrap, so only the vertical scroll bar is ever needed (see
  // SizeChanged).
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
  QObject::connect(editor, &QPlainTextEdit::textChanged, editor,
                   [this] { SafeCall([this] { OnChange(this); }); });
}

void TMemo::SizeChanged() {
  TWinControl::SizeChanged();
  // A scroll bar shows text past the bottom, but only in an editor with room
  // for one beside the text: in a sliver of an editor a scroll bar coming
  // and going re-wrapped the text for ever.
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  const int extent = editor->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, editor);
  const bool room = Width() >= 4 * extent && Height() >= 3 * extent;
  editor->setVerticalScrollBarPolicy(room ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

std::string TMemo::GetText() const {
  return static_cast<QPlainTextEdit*>(Peer())->toPlainText().toStdString();
}

void TMemo::TextChanged() {
  static_cast<QPlainTextEdit*>(Peer())->setPlainText(QString::fromStdString(TControl::GetText()));
}
