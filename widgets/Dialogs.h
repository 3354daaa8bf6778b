#pragma once
// The standard dialogs: message boxes with buttons of one's choice, and the
// desktop's file dialog. Tests answer them instead of a person.

#include <deque>
#include <string>
#include <vector>

enum TMsgDlgType { mtInformation, mtWarning, mtError, mtConfirmation };

// Shows AText with the buttons named (in that order) and returns the index
// of the one pressed: ADefault for Return, AEscape for Escape or closing.
int MessageDlg(const std::string& AText, TMsgDlgType AType,
               const std::vector<std::string>& AButtons, int ADefault, int AEscape,
               const std::string& ADetail = {});

// Asks for a file to open or to save to, starting at AFileName; true with
// AFileName set when the user chose one. A name typed without an extension
// gets ADefaultExt.
bool PromptForFileName(std::string& AFileName, const std::string& AFilter,
                       const std::string& ADefaultExt, const std::string& ATitle, bool ASaveDialog);

// Shows ARows under AHeadings in a window of their own, to read, until the
// user closes it.
void ShowTableDlg(const std::string& ATitle, const std::vector<std::string>& AHeadings,
                  const std::vector<std::vector<std::string>>& ARows);

// For tests: while set, dialogs show nothing; each takes the next answer
// (the default button, or a cancelled file dialog, when none is left) and
// records what it would have shown.
struct TDialogAnswers {
  std::deque<int> Buttons;
  std::deque<std::string> FileNames;  // an empty one cancels
  std::vector<std::string> Shown;
};
void SetDialogAnswers(TDialogAnswers* AAnswers);
