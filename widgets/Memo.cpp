#include "widgets/Memo.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <iterator>

#include "widgets/Application.h"
#include "widgets/Peer.h"

// The editor's widget, which makes room at its top for the find bar.
class TMemoPeer : public QPlainTextEdit {
 public:
  explicit TMemoPeer(TMemo* AMemo) : FMemo(AMemo) {}
  using QPlainTextEdit::setViewportMargins;

 protected:
  // Opened where the user was once the editor has its size: the text that
  // was at its top, else the caret's line in sight.
  void showEvent(QShowEvent* AEvent) override {
    QPlainTextEdit::showEvent(AEvent);
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (FMemo->FTop < 0) {
            ensureCursorVisible();
            return;
          }
          FMemo->ScrollToTop(FMemo->FTop);
          FMemo->FTop = -1;
        },
        Qt::QueuedConnection);
  }

  // The editor's own commands, and the menu of the pane it is in.
  void contextMenuEvent(QContextMenuEvent* AEvent) override {
    PopupWithScope(createStandardContextMenu(), FMemo, AEvent->globalPos());
  }

 private:
  TMemo* FMemo;
};

namespace {

// Selects the next (or previous) place in AEditor that holds AWanted, from
// the selection's end (start), or from its start where the user types more
// of what to find; round past the end. A note at AMemo when it is nowhere.
bool FindIn(QPlainTextEdit* AEditor, TMemo* AMemo, const QString& AWanted, bool AForward,
            bool AGrowing) {
  if (AWanted.isEmpty()) return false;
  QTextDocument* document = AEditor->document();
  QTextCursor from = AEditor->textCursor();
  from.setPosition(AForward && !AGrowing ? from.selectionEnd() : from.selectionStart());
  const QTextDocument::FindFlags flags =
      AForward ? QTextDocument::FindFlags() : QTextDocument::FindBackward;
  QTextCursor found = document->find(AWanted, from, flags);
  bool round = false;
  if (found.isNull()) {
    QTextCursor edge(document);
    edge.movePosition(AForward ? QTextCursor::Start : QTextCursor::End);
    found = document->find(AWanted, edge, flags);
    round = !found.isNull();
  }
  if (found.isNull()) {
    // Said once while the user types on: not again for every letter.
    const bool said = AGrowing && Application->LastNote().find("\u201d is not in this editor") !=
                                      std::string::npos;
    if (!said)
      Application->ShowNote(
          AMemo, "\u201c" + AWanted.toStdString() + "\u201d is not in this editor", true);
    return false;
  }
  AEditor->setTextCursor(found);
  AEditor->ensureCursorVisible();
  // Where it was found, for those who do not see the text: its line, and
  // whether the search went round.
  Application->Announce(
      std::string(round ? (AForward ? "From the top again: " : "From the end again: ") : "") +
      "line " + std::to_string(found.blockNumber() + 1) + ", " +
      found.block().text().trimmed().left(60).toStdString());
  return true;
}

// The find bar: a line to type into, over the editor's top right corner.
class TFindBar : public QLineEdit {
 public:
  TFindBar(QPlainTextEdit* AEditor, TMemo* AMemo) : QLineEdit(AEditor), FMemo(AMemo) {
    setPlaceholderText(QStringLiteral("Find"));
    setAccessibleName(QStringLiteral("Find in this editor"));
    setClearButtonEnabled(true);
    hide();
    QObject::connect(this, &QLineEdit::textEdited, this, [this] {
      SafeCall(
          [this] { FindIn(static_cast<QPlainTextEdit*>(parent()), FMemo, text(), true, true); });
    });
  }
  // Across the top of the editor, in room the text makes for it, so no
  // match lies under the bar.
  void Place() {
    auto* editor = static_cast<TMemoPeer*>(parent());
    const int frame = editor->frameWidth();
    const int height = sizeHint().height();
    setGeometry(frame + 2, frame + 2, std::max(0, editor->width() - 2 * frame - 4), height);
    editor->setViewportMargins(0, isVisible() ? height + 4 : 0, 0, 0);
  }

 protected:
  void keyPressEvent(QKeyEvent* AEvent) override {
    const int key = AEvent->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      const bool back = AEvent->modifiers() & Qt::ShiftModifier;
      SafeCall([&] { FMemo->FindNext(!back); });
      return;
    }
    if (key == Qt::Key_Escape) {
      hide();
      parentWidget()->setFocus(Qt::OtherFocusReason);
      return;
    }
    QLineEdit::keyPressEvent(AEvent);
  }
  void showEvent(QShowEvent* AEvent) override {
    QLineEdit::showEvent(AEvent);
    Place();
  }
  // Tab leaves the bar for the text it searches, never for another pane.
  bool focusNextPrevChild(bool /*ANext*/) override {
    parentWidget()->setFocus(Qt::TabFocusReason);
    return true;
  }
  void hideEvent(QHideEvent* AEvent) override {
    QLineEdit::hideEvent(AEvent);
    static_cast<TMemoPeer*>(parent())->setViewportMargins(0, 0, 0, 0);
  }

 private:
  TMemo* FMemo;
};

TFindBar* FindBarOf(QWidget* AEditor) { return ChildOfClass<TFindBar>(AEditor); }
}  // namespace

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner, new TMemoPeer(this)) {
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
  if (TFindBar* bar = FindBarOf(editor)) bar->Place();
}

void TMemo::ShowFindBar() {
  SyncPeers();
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  TFindBar* bar = FindBarOf(editor);
  if (bar == nullptr) bar = new TFindBar(editor, this);
  // What is selected (on one line) is what the user most likely looks for.
  const QString selected = editor->textCursor().selectedText();
  if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator)) bar->setText(selected);
  bar->Place();
  bar->show();
  bar->raise();
  bar->selectAll();
  bar->setFocus(Qt::OtherFocusReason);
  Application->Announce("Find: type what to look for; Return finds the next, Escape closes");
}

bool TMemo::FindBarShown() const {
  const TFindBar* bar = FindBarOf(Peer());
  return bar != nullptr && bar->isVisible();
}

std::string TMemo::FindText() const {
  const TFindBar* bar = FindBarOf(Peer());
  return bar != nullptr ? bar->text().toStdString() : std::string();
}

void TMemo::SetFindText(const std::string& AText) {
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  TFindBar* bar = FindBarOf(editor);
  if (bar == nullptr) bar = new TFindBar(editor, this);
  bar->setText(QString::fromStdString(AText));
}

bool TMemo::FindNext(bool AForward) {
  const TFindBar* bar = FindBarOf(Peer());
  return bar != nullptr &&
         FindIn(static_cast<QPlainTextEdit*>(Peer()), this, bar->text(), AForward, false);
}

int TMemo::CaretPosition() const {
  return static_cast<QPlainTextEdit*>(Peer())->textCursor().position();
}

int TMemo::SelectionAnchor() const {
  return static_cast<QPlainTextEdit*>(Peer())->textCursor().anchor();
}

void TMemo::SetSelection(int AAnchor, int APosition) {
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  QTextCursor cursor(editor->document());
  cursor.movePosition(QTextCursor::End);
  const int end = cursor.position();
  auto inside = [end](int AAt) { return AAt < 0 || AAt > end ? end : AAt; };
  cursor.setPosition(inside(AAnchor));
  cursor.setPosition(inside(APosition), QTextCursor::KeepAnchor);
  editor->setTextCursor(cursor);
}

int TMemo::TopPosition() const {
  if (FTop >= 0) return FTop;
  const auto* editor = static_cast<QPlainTextEdit*>(Peer());
  QTextCursor top = editor->cursorForPosition(QPoint(0, 0));
  top.movePosition(QTextCursor::StartOfLine);
  return top.position();
}

void TMemo::SetTopPosition(int APosition) {
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  if (editor->isVisible()) {
    ScrollToTop(APosition);
  } else {
    FTop = std::max(0, APosition);
  }
}

void TMemo::ScrollToTop(int APosition) {
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  QTextDocument* document = editor->document();
  const QTextBlock block =
      document->findBlock(std::clamp(APosition, 0, document->characterCount() - 1));
  // The editor scrolls by its lines as it shows them, wrapped ones
  // included: the block is laid out to find which of its lines it is.
  document->documentLayout()->blockBoundingRect(block);
  const QTextLine line = block.layout()->lineForTextPosition(APosition - block.position());
  editor->verticalScrollBar()->setValue(block.firstLineNumber() +
                                        (line.isValid() ? line.lineNumber() : 0));
}

void TMemo::SetReadingSize(int APercent) {
  FReadingSize = std::clamp(APercent, ReadingSizes[0], std::end(ReadingSizes)[-1]);
  ScaleFont(Peer(), FReadingSize);
}

std::string TMemo::GetText() const {
  return static_cast<QPlainTextEdit*>(Peer())->toPlainText().toStdString();
}

void TMemo::TextChanged() {
  static_cast<QPlainTextEdit*>(Peer())->setPlainText(QString::fromStdString(TControl::GetText()));
}
