#pragma once

#include "widgets/Control.h"

// A multi-line plain-text editor; its text is what the user typed.
class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* AOwner);

  // Raised whenever the text changes, by typing or by the program.
  TNotifyEvent OnChange;

  // Finding text: a small bar at the top of the editor takes what to find
  // (the selected text to start with) and the keyboard; each letter typed
  // finds it from where the last match began. Return and Shift+Return find
  // the next and previous, Escape closes the bar and gives the keyboard
  // back to the text.
  void ShowFindBar();
  bool FindBarShown() const;
  std::string FindText() const;
  void SetFindText(const std::string& AText);
  // Selects the next (or previous) place that holds the text to find, going
  // round past the end; false, with a note at the editor, if it is nowhere.
  bool FindNext(bool AForward);

  // Where the caret is and where the selection began (the same without a
  // selection), in characters of the text as the editor counts them (a
  // character beyond the basic plane counts two). Set out of the text's
  // range, both go to its end. The caret's line shows when the editor does.
  int CaretPosition() const;
  int SelectionAnchor() const;
  void SetSelection(int AAnchor, int APosition);

  // Where the text shown at the editor's top begins, in the same characters;
  // set before the editor shows, it scrolls there once it has its size
  // (instead of to the caret). Past the end: as far down as the text goes.
  int TopPosition() const;
  void SetTopPosition(int APosition);

  // How large the text is, in percent of the usual size (see ReadingSizes).
  int ReadingSize() const { return FReadingSize; }
  void SetReadingSize(int APercent);

 protected:
  std::string GetText() const override;
  void TextChanged() override;
  void SizeChanged() override;

 private:
  friend class TMemoPeer;
  void ScrollToTop(int ATextPosition);
  int FTop = -1;  // where the top goes once the editor shows, or -1
  int FReadingSize = 100;
};
