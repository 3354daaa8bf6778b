// The main window's workspace files: open, save, save as, the question at
// leaving, and the recovery copy of unsaved changes.
#include <cstdint>
#include <cstdio>

#include "app/Unit1.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"

namespace {
const char* const Filter = "Panes workspaces (*.panes);;All files (*)";

std::string Quoted(const std::string& AFileName) {
  return "\u201c" + ExtractFileName(AFileName) + "\u201d";
}

// A stable, short mark of a path (FNV-1a), so every file has its own copy.
std::string PathMark(const std::string& APath) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : APath) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}
}  // namespace

std::string TForm1::RecoveryFileName() const {
  if (FFileName.empty()) return {};
  return StateFolder() + "/" + ExtractFileName(FFileName) + "-" + PathMark(FFileName) +
         ".recovery.panes";
}

void TForm1::UpdateTitle() {
  if (FFileName.empty()) {
    SetText("Panes");
    return;
  }
  SetText((FModified ? "*" : "") + ExtractFileName(FFileName) + " \u2014 Panes");
}

void TForm1::SetModified(bool AModified) {
  FModified = AModified;
  UpdateTitle();
}

void TForm1::WorkspaceChange(TObject* /*Sender*/) {
  if (!FModified) SetModified(true);
  if (!FFileName.empty() && !FRecoveryTimer->Enabled()) FRecoveryTimer->SetEnabled(true);
}

void TForm1::SetFileName(const std::string& AFileName) {
  // The file as this window last read or wrote it, to tell a change made
  // by anyone else.
  FFileStamp = FileStamp(AFileName);
  if (AFileName == FFileName) return;
  FFileName = AFileName;
  UpdateTitle();
  if (FFileName.empty()) {
    FRecoveryLock.Unlock();
    return;
  }
  // Another window on the same file keeps its own unsaved changes: this
  // one neither offers nor writes nor deletes their copy.
  if (!FRecoveryLock.Lock(RecoveryFileName() + ".lock"))
    Application->ShowNote(this, Quoted(FFileName) + " is open in another Panes window too");
}

void TForm1::RecoveryTimer(TObject* /*Sender*/) {
  FRecoveryTimer->SetEnabled(false);
  if (!FModified || FFileName.empty()) return;
  // Once the window that held the file's copy has gone, this one keeps it.
  if (!FRecoveryLock.Locked() && !FRecoveryLock.Lock(RecoveryFileName() + ".lock")) return;
  TWorkspace workspace;
  if (FMainPanel != nullptr) workspace = FMainPanel->Workspace();
  StoreWindowState(workspace);
  // Written on a thread of its own: typing never waits for the disk.
  FWriter->Write(RecoveryFileName(), WriteWorkspace(workspace));
}

void TForm1::ForgetRecovery() {
  FRecoveryTimer->SetEnabled(false);
  if (!FFileName.empty() && FRecoveryLock.Locked()) FWriter->Delete(RecoveryFileName());
}

void TForm1::FlushRecovery() { FWriter->Wait(); }

void TForm1::EndSession(TObject* Sender) {
  RecoveryTimer(Sender);
  FlushRecovery();
}

void TForm1::ShowWorkspace(const TWorkspace& AWorkspace) {
  RestoreWindowState(AWorkspace);
  if (AWorkspace.Panes.empty()) {
    delete FMainPanel;
    FMainPanel = nullptr;
    return;
  }
  if (FMainPanel == nullptr) CreateHost();
  FMainPanel->Open(AWorkspace);
}

bool TForm1::OpenFile(const std::string& AFileName) {
  std::string bytes, problem;
  TWorkspace workspace;
  if (LoadFromFile(AFileName, WorkspaceMaxBytes, bytes, problem))
    problem = ReadWorkspace(bytes, workspace);
  if (!problem.empty()) {
    MessageDlg("Panes cannot open " + Quoted(AFileName) + ".", mtError, {"OK"}, 0, 0,
               "The reason: " + problem + ".\n\nThe file: " + ExpandFileName(AFileName));
    return false;
  }
  // Changes the user chose to discard for this file go only now: had the
  // open failed or been cancelled, they would still be on the screen.
  if (FModified) ForgetRecovery();
  ShowWorkspace(workspace);
  SetFileName(ExpandFileName(AFileName));
  SetModified(false);
  return true;
}

bool TForm1::SaveTo(const std::string& AFileName) {
  // Another window or program wrote the file since this one did: saving
  // would throw its work away unasked.
  if (ExpandFileName(AFileName) == FFileName && FileStamp(FFileName) != FFileStamp &&
      MessageDlg(
          Quoted(FFileName) + " was changed by another program since Panes opened or saved it.",
          mtWarning, {"Save over it", "Cancel"}, 1, 1,
          "Saving replaces what the file holds now. To keep both, cancel and save under a "
          "new name (Ctrl+Shift+S).") != 0)
    return false;
  TWorkspace workspace;
  if (FMainPanel != nullptr) workspace = FMainPanel->Workspace();
  StoreWindowState(workspace);
  std::string problem;
  if (!SaveToFile(AFileName, WriteWorkspace(workspace), problem)) {
    MessageDlg("Panes could not save " + Quoted(AFileName) + ".", mtError, {"OK"}, 0, 0,
               "The reason: " + problem + ".\n\nThe file: " + ExpandFileName(AFileName) +
                   "\n\nYour changes are still here, not saved.");
    return false;
  }
  const std::string saved = ExpandFileName(AFileName);
  if (saved != FFileName) ForgetRecovery();
  SetFileName(saved);
  ForgetRecovery();
  SetModified(false);
  return true;
}

void TForm1::SaveExecute(TObject* Sender) {
  if (FFileName.empty())
    SaveAsExecute(Sender);
  else
    SaveTo(FFileName);
}

void TForm1::SaveAsExecute(TObject* /*Sender*/) {
  std::string name = FFileName.empty() ? "untitled.panes" : FFileName;
  if (PromptForFileName(name, Filter, "panes", "Save the workspace as", true)) SaveTo(name);
}

bool TForm1::SaveOrDiscardChanges(const std::string& AQuestion, bool AForgetOnDiscard) {
  const int answer = MessageDlg(AQuestion, mtWarning, {"Save", "Discard", "Cancel"}, 0, 2,
                                "Your changes are lost if you do not save them.");
  if (answer == 0) {
    if (!FFileName.empty()) return SaveTo(FFileName);
    std::string name = "untitled.panes";
    return PromptForFileName(name, Filter, "panes", "Save the workspace as", true) && SaveTo(name);
  }
  if (answer == 1) {
    if (AForgetOnDiscard) ForgetRecovery();
    return true;
  }
  return false;
}

void TForm1::OpenExecute(TObject* /*Sender*/) {
  // Discarded changes stay on the screen, and in their recovery copy, until
  // another file is open in their place.
  if (FModified && !SaveOrDiscardChanges(
                       FFileName.empty() ? "Save the changes to this window first?"
                                         : "Save the changes to " + Quoted(FFileName) + " first?",
                       false))
    return;
  std::string name = FFileName;
  if (!PromptForFileName(name, Filter, "panes", "Open a workspace", false)) return;
  if (OpenFile(name)) OfferRecovery();
}

void TForm1::FormCloseQuery(TObject* /*Sender*/, bool& CanClose) {
  // A window without a file closes at once, as it always did.
  if (!FModified || FFileName.empty()) return;
  CanClose = SaveOrDiscardChanges("Save the changes to " + Quoted(FFileName) + " before leaving?");
}

void TForm1::OpenAtStart(const std::string& AFileName) {
  const std::string name = ExpandFileName(AFileName);
  if (FileExists(name)) {
    // After the message the window is empty and nameless.
    if (!OpenFile(name)) return;
  } else {
    SetFileName(name);  // a new file: the first save makes it
  }
  OfferRecovery();
}

void TForm1::OfferRecovery() {
  // A copy still being written or deleted on the writer's thread (an open
  // that discarded changes has just asked for its deletion) is settled
  // before the disk is asked whether there is one.
  FlushRecovery();
  const std::string copy = RecoveryFileName();
  if (copy.empty() || !FRecoveryLock.Locked() || FileTime(copy) <= FileTime(FFileName)) return;
  const int answer = MessageDlg("Recover unsaved changes?", mtConfirmation,
                                {"Recover", "Discard", "Not now"}, 0, 2,
                                "Panes kept a copy of changes to " + Quoted(FFileName) +
                                    " that were not saved when it last closed.");
  if (answer == 1) {
    DeleteFile(copy);
    return;
  }
  if (answer != 0) return;  // not now: the copy waits for the next time
  std::string bytes, problem;
  TWorkspace workspace;
  if (LoadFromFile(copy, WorkspaceMaxBytes, bytes, problem))
    problem = ReadWorkspace(bytes, workspace);
  if (!problem.empty()) {
    MessageDlg("The recovery copy of " + Quoted(FFileName) + " cannot be read.", mtError, {"OK"}, 0,
               0, "The reason: " + problem + ".\n\nThe copy: " + copy);
    return;
  }
  ShowWorkspace(workspace);
  // The changes are back, still to be saved.
  SetModified(true);
}
