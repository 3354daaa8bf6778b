#include "widgets/Memo.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "widgets/Application.h"
#include "widgets/Peer.h"

namespace {
// Qt lays a paragraph out whole, and again at every key typed into it: a
// line of megabytes took seconds a key. So a long line is held in pieces,
// each a paragraph of its own that continues the one before (a property
// of its format, which undo keeps with it); the text is what the pieces
// hold, joined, exactly as it came.
constexpr int LongLine = 4096;
constexpr int ContinuesLine = QTextFormat::UserProperty + 1;

bool Continues(const QTextBlock& ABlock) {
  return ABlock.blockFormat().boolProperty(ContinuesLine);
}

// Where a line longer than LongLine is cut after AFrom: after a space if
// one is near, never inside a character or before a mark that belongs to
// the character before it.
qsizetype PieceEnd(const QString& AText, qsizetype AFrom, qsizetype AEnd) {
  if (AEnd - AFrom <= LongLine) return AEnd;
  qsizetype at = AFrom + LongLine;
  for (qsizetype space = at; space > AFrom + LongLine / 2; --space)
    if (AText[space - 1] == u' ') return space;
  while (at > AFrom + 1 && (AText[at].isLowSurrogate() || AText[at].isMark())) --at;
  return at;
}
}  // namespace

// The editor's widget, which makes room at its top for the find bar.
class TMemoPeer : public QPlainTextEdit {
 public:
  explicit TMemoPeer(TMemo* AMemo) : FMemo(AMemo) {}
  using QPlainTextEdit::setViewportMargins;

  // The text, long lines in pieces. An editor not yet shown keeps it
  // aside until it shows (or is asked for more than the text): Qt lays a
  // paragraph out as soon as it is set, at whatever width the editor has
  // then, and again at the width it shows at. The change is told now.
  void SetWholeText(const QString& AText) {
    if (!FShown) {
      FWaiting = AText;
      FTextWaits = true;
      FSelectionWaits = false;  // new text puts the caret at its start
      emit textChanged();
      return;
    }
    PutText(AText);
  }

  // The text kept aside goes into the editor, untold: it was told when set.
  void Settle() {
    if (!FTextWaits) return;
    FTextWaits = false;
    const QString text = std::exchange(FWaiting, QString());
    FSettling = true;
    PutText(text);
    FSettling = false;
    if (FSelectionWaits) {
      FSelectionWaits = false;
      Select(FWaitingAnchor, FWaitingCaret);
    }
  }

  // Selects from text position AAnchor to APosition (the caret), either
  // past the end at the end. Kept aside with the text.
  void Select(int AAnchor, int APosition) {
    if (FTextWaits) {
      FWaitingAnchor = AAnchor;
      FWaitingCaret = APosition;
      FSelectionWaits = true;
      return;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const int end = TextPosition(cursor.position());
    auto inside = [this, end](int AAt) {
      return DocumentPosition(AAt < 0 || AAt > end ? end : AAt);
    };
    cursor.setPosition(inside(AAnchor));
    cursor.setPosition(inside(APosition), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
  }

  // While the editor takes in the text it kept aside (no change of the
  // user's: the change was told when the text was set).
  bool Settling() const { return FSettling; }

 private:
  void PutText(const QString& AText) {
    QString pieces;
    pieces.reserve(AText.size() + AText.size() / LongLine + 1);
    std::vector<int> continuing;  // the paragraphs that continue a line
    int paragraph = 0;
    for (qsizetype from = 0; from <= AText.size();) {
      qsizetype end = AText.indexOf(u'\n', from);
      if (end < 0) end = AText.size();
      for (qsizetype piece = from; piece < end || piece == from;) {
        const qsizetype to = PieceEnd(AText, piece, end);
        if (piece != from) {
          pieces += u'\n';
          continuing.push_back(++paragraph);
        }
        pieces += QStringView(AText).mid(piece, to - piece);
        piece = to;
        if (to == end) break;
      }
      if (end == AText.size()) break;
      pieces += u'\n';
      ++paragraph;
      from = end + 1;
    }
    setPlainText(pieces);
    FPieces = !continuing.empty();
    if (!FPieces) return;
    // Marked where undo cannot take the marks back off, and unheard: the
    // text does not change (nor its layout), and a change told for each
    // piece had the window read megabytes a thousand times.
    const QSignalBlocker quiet(document());
    document()->setUndoRedoEnabled(false);
    QTextBlockFormat format;
    format.setProperty(ContinuesLine, true);
    QTextBlock block = document()->begin();
    int number = 0;
    for (const int wanted : continuing) {
      for (; number < wanted && block.isValid(); ++number) block = block.next();
      QTextCursor(block).mergeBlockFormat(format);
    }
    document()->setUndoRedoEnabled(true);
  }

 public:
  // The text from document position AFrom to ATo: pieces joined, lines
  // ended by line feeds (also where Shift+Return broke one), every other
  // character as it is (Qt's own plain text turns no-break spaces into
  // spaces).
  QString TextBetween(int AFrom, int ATo) const {
    QString text;
    QTextBlock block = document()->findBlock(AFrom);
    for (; block.isValid() && block.position() <= ATo; block = block.next()) {
      if (block.position() > AFrom && !Continues(block)) text += u'\n';
      const int start = std::max(AFrom, block.position());
      const int end = std::min(ATo, block.position() + block.length() - 1);
      if (end > start) text += block.text().mid(start - block.position(), end - start);
    }
    text.replace(QChar::LineSeparator, u'\n');
    return text;
  }
  // The same for the whole text, in bulk: it is read at every recovery
  // copy, and a paragraph at a time took tens of milliseconds for 80,000.
  QString WholeText() const {
    if (FTextWaits) return FWaiting;
    QString text = document()->toRawText();
    if (FPieces) {
      // The breaks between the pieces of a line go.
      qsizetype kept = 0, from = 0;
      QChar* data = text.data();
      for (QTextBlock block = document()->begin().next(); block.isValid(); block = block.next()) {
        if (!Continues(block)) continue;
        const qsizetype at = block.position() - 1;
        std::copy(data + from, data + at, data + kept);
        kept += at - from;
        from = at + 1;
      }
      std::copy(data + from, data + text.size(), data + kept);
      text.truncate(kept + text.size() - from);
    }
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
  }

  // Positions in the text, and in the document (where each piece after the
  // first of a line adds a paragraph break of its own).
  int TextPosition(int APosition) const {
    if (!FPieces) return APosition;
    int breaks = 0;
    for (QTextBlock block = document()->begin(); block.isValid() && block.position() <= APosition;
         block = block.next())
      breaks += Continues(block) ? 1 : 0;
    return APosition - breaks;
  }
  int DocumentPosition(int ATextPosition) const {
    if (!FPieces) return ATextPosition;
    int breaks = 0;
    QTextBlock block = document()->begin();
    for (; block.isValid(); block = block.next()) {
      breaks += Continues(block) ? 1 : 0;
      if (ATextPosition + breaks < block.position() + block.length()) break;
    }
    return ATextPosition + breaks;
  }

 protected:
  void keyPressEvent(QKeyEvent* AEvent) override {
    if (!FPieces || isReadOnly()) {
      QPlainTextEdit::keyPressEvent(AEvent);
      return;
    }
    QTextCursor cursor = textCursor();
    const int key = AEvent->key();
    const bool plain = (AEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && plain) {
      // A new line: the paragraph it starts is a line of its own, even
      // inside a piece.
      cursor.beginEditBlock();
      cursor.removeSelectedText();
      QTextBlockFormat format = cursor.blockFormat();
      format.clearProperty(ContinuesLine);
      cursor.insertBlock(format);
      cursor.endEditBlock();
      setTextCursor(cursor);
      ensureCursorVisible();
      return;
    }
    if (key == Qt::Key_Backspace && plain && !cursor.hasSelection() && cursor.atBlockStart() &&
        Continues(cursor.block())) {
      // The character before is at the end of the piece before.
      while (cursor.atBlockStart() && Continues(cursor.block()))
        cursor.movePosition(QTextCursor::PreviousCharacter);
      cursor.deletePreviousChar();
      setTextCursor(cursor);
      return;
    }
    if (key == Qt::Key_Delete && plain && !cursor.hasSelection() && cursor.atBlockEnd() &&
        Continues(cursor.block().next())) {
      while (cursor.atBlockEnd() && Continues(cursor.block().next()))
        cursor.movePosition(QTextCursor::NextCharacter);
      cursor.deleteChar();
      setTextCursor(cursor);
      return;
    }
    const int before = cursor.position();
    QPlainTextEdit::keyPressEvent(AEvent);
    // The caret stepped over the break between two pieces, which is no
    // character: one step more.
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && textCursor().position() != before &&
        TextPosition(textCursor().position()) == TextPosition(before))
      QPlainTextEdit::keyPressEvent(AEvent);
  }

  // What is copied, cut or dragged is the text itself, pieces joined.
  QMimeData* createMimeDataFromSelection() const override {
    if (!FPieces) return QPlainTextEdit::createMimeDataFromSelection();
    const QTextCursor cursor = textCursor();
    auto* data = new QMimeData;
    data->setText(TextBetween(cursor.selectionStart(), cursor.selectionEnd()));
    return data;
  }

  // What is pasted or dropped: its lines become lines, a long one in
  // pieces like those of the text.
  void insertFromMimeData(const QMimeData* ASource) override {
    if (ASource == nullptr || !ASource->hasText()) {
      QPlainTextEdit::insertFromMimeData(ASource);
      return;
    }
    const QString text = ASource->text();
    if (!FPieces && text.size() <= LongLine) {
      QPlainTextEdit::insertFromMimeData(ASource);
      return;
    }
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    QTextBlockFormat line = cursor.blockFormat();
    line.clearProperty(ContinuesLine);
    QTextBlockFormat piece = line;
    piece.setProperty(ContinuesLine, true);
    for (qsizetype from = 0; from <= text.size();) {
      qsizetype end = text.indexOf(u'\n', from);
      if (end < 0) end = text.size();
      for (qsizetype at = from; at < end;) {
        const qsizetype to = PieceEnd(text, at, end);
        if (at != from) {
          cursor.insertBlock(piece);
          FPieces = true;
        }
        cursor.insertText(text.mid(at, to - at));
        at = to;
      }
      if (end == text.size()) break;
      cursor.insertBlock(line);
      from = end + 1;
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
  }

 private:
  // Some line is held in pieces.
  bool FPieces = false;
  // Shown at least once; else the text set, kept aside until then.
  bool FShown = false;
  bool FTextWaits = false;
  bool FSettling = false;
  QString FWaiting;
  bool FSelectionWaits = false;
  int FWaitingAnchor = 0, FWaitingCaret = 0;

 protected:
  // Opened where the user was once the editor has its size: the text that
  // was at its top, else the caret's line in sight.
  void showEvent(QShowEvent* AEvent) override {
    QPlainTextEdit::showEvent(AEvent);
    FShown = true;
    Settle();
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

// The editor, with any text it kept aside taken in.
TMemoPeer* Settled(const TMemo* AMemo) {
  auto* editor = static_cast<TMemoPeer*>(AMemo->Peer());
  editor->Settle();
  return editor;
}

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
  // Where it was found, for those who do not see the text: its line (the
  // pieces of a long line are one), and whether the search went round.
  int line = 1;
  for (QTextBlock block = document->begin().next();
       block.isValid() && block.position() <= found.block().position(); block = block.next())
    line += Continues(block) ? 0 : 1;
  Application->Announce(
      std::string(round ? (AForward ? "From the top again: " : "From the end again: ") : "") +
      "line " + std::to_string(line) + ", " +
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
  PlaceAccessibleInControl(this);
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
  QObject::connect(editor, &QPlainTextEdit::textChanged, editor, [this, editor] {
    if (!static_cast<TMemoPeer*>(editor)->Settling()) SafeCall([this] { OnChange(this); });
  });
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
  auto* editor = Settled(this);
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
  return bar != nullptr && FindIn(Settled(this), this, bar->text(), AForward, false);
}

int TMemo::CaretPosition() const {
  const auto* editor = Settled(this);
  return editor->TextPosition(editor->textCursor().position());
}

int TMemo::SelectionAnchor() const {
  const auto* editor = Settled(this);
  return editor->TextPosition(editor->textCursor().anchor());
}

void TMemo::SetSelection(int AAnchor, int APosition) {
  static_cast<TMemoPeer*>(Peer())->Select(AAnchor, APosition);
}

int TMemo::TopPosition() const {
  if (FTop >= 0) return FTop;
  const auto* editor = Settled(this);
  QTextCursor top = editor->cursorForPosition(QPoint(0, 0));
  top.movePosition(QTextCursor::StartOfLine);
  return editor->TextPosition(top.position());
}

void TMemo::SetTopPosition(int APosition) {
  auto* editor = static_cast<QPlainTextEdit*>(Peer());
  if (editor->isVisible()) {
    ScrollToTop(APosition);
  } else {
    FTop = std::max(0, APosition);
  }
}

void TMemo::ScrollToTop(int ATextPosition) {
  auto* editor = Settled(this);
  QTextDocument* document = editor->document();
  const int at = std::clamp(editor->DocumentPosition(std::max(0, ATextPosition)), 0,
                            document->characterCount() - 1);
  const QTextBlock block = document->findBlock(at);
  // The editor scrolls by its lines as it shows them, wrapped ones
  // included: the block is laid out to find which of its lines it is.
  document->documentLayout()->blockBoundingRect(block);
  const QTextLine line = block.layout()->lineForTextPosition(at - block.position());
  editor->verticalScrollBar()->setValue(block.firstLineNumber() +
                                        (line.isValid() ? line.lineNumber() : 0));
}

void TMemo::SetReadingSize(int APercent) {
  FReadingSize = std::clamp(APercent, ReadingSizes[0], std::end(ReadingSizes)[-1]);
  ScaleFont(Peer(), FReadingSize);
}

std::string TMemo::GetText() const {
  return static_cast<const TMemoPeer*>(Peer())->WholeText().toStdString();
}

void TMemo::TextChanged() {
  static_cast<TMemoPeer*>(Peer())->SetWholeText(QString::fromStdString(TControl::GetText()));
}
