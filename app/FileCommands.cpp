// The main window's workspace files: open, save, save as, the question at
// leaving, and the recovery copy of unsaved changes.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/Unit1.h"
#include "widgets/Application.h"
#include "widgets/CellText.h"
#include "widgets/Dialogs.h"

namespace {
const char* const Filter = "Panes workspaces (*.panes);;All files (*)";

std::string Quoted(const std::string& AFileName) {
  return "\u201c" + ExtractFileName(AFileName) + "\u201d";
}

// FNV-1a: a stable, short mark of bytes.
constexpr std::uint64_t MarkStart = 14695981039346656037ull;
void AddToMark(std::uint64_t& AHash, const void* AData, size_t ASize) {
  for (size_t i = 0; i < ASize; ++i) {
    AHash ^= static_cast<const unsigned char*>(AData)[i];
    AHash *= 1099511628211ull;
  }
}

// A mark of a path, so every file has its own copies.
std::string PathMark(const std::string& APath) {
  std::uint64_t hash = MarkStart;
  AddToMark(hash, APath.data(), APath.size());
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// Each file's recovery copies share a name up to the run that kept them;
// those of windows without a file have a folder of their own, so no file's
// name can pass for one of theirs.
std::string CopiesFolder(const std::string& AFileName) {
  return AFileName.empty() ? StateFolder() + "/untitled" : StateFolder();
}

std::string CopiesPrefix(const std::string& AFileName) {
  return AFileName.empty() ? std::string()
                           : ExtractFileName(AFileName) + "-" + PathMark(AFileName) + ".";
}

const char* const CopySuffix = ".recovery.panes";

// A name no other run and no other copy of this run has.
std::string RunMark() {
  static int counter = 0;
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  return std::to_string(static_cast<long long>(now)) + "-" +
         std::to_string(static_cast<long long>(getpid())) + "-" + std::to_string(++counter);
}

// What the user can change of a workspace, as a number: the panes, their
// shares and what they hold. Not which pane or cell is current, nor the
// window's size: moving about and resizing are no changes to save.
std::uint64_t ContentMark(const TWorkspace& AWorkspace) {
  std::uint64_t hash = MarkStart;
  auto add = [&hash](const void* AData, size_t ASize) { AddToMark(hash, AData, ASize); };
  auto addText = [&add](const std::string& AText) {
    const size_t size = AText.size();
    add(&size, sizeof size);
    add(AText.data(), size);
  };
  for (const TPaneNode& node : AWorkspace.Panes) {
    const int shape[] = {node.Leaf, node.Stacked, node.Content.Kind};
    add(shape, sizeof shape);
    add(&node.Ratio, sizeof node.Ratio);
    addText(node.Content.Text);
    for (const std::string& cell : node.Content.Cells) addText(cell);
  }
  return hash;
}

// A recovery copy that no running window keeps, held while it is offered.
struct TKeptCopy {
  std::string Name;
  std::int64_t Time = 0;
  std::unique_ptr<TFileLock> Lock;
};

std::vector<TKeptCopy> KeptCopies(const std::string& AFileName, const std::string& AOwn) {
  std::vector<TKeptCopy> copies;
  std::vector<std::string> names =
      FilesIn(CopiesFolder(AFileName), CopiesPrefix(AFileName), CopySuffix);
  // Earlier versions kept one copy a file, named without the run.
  if (const std::string single =
          CopiesFolder(AFileName) + "/" + CopiesPrefix(AFileName) + (CopySuffix + 1);
      !AFileName.empty() && FileExists(single))
    names.push_back(single);
  for (std::string& name : names) {
    if (name == AOwn) continue;
    auto lock = std::make_unique<TFileLock>();
    // A window still running keeps its copy: that one is not left over.
    if (!lock->Lock(name + ".lock")) continue;
    const std::int64_t time = FileTime(name);
    copies.push_back({std::move(name), time, std::move(lock)});
  }
  std::sort(copies.begin(), copies.end(), [](const TKeptCopy& A, const TKeptCopy& B) {
    return A.Time != B.Time ? A.Time > B.Time : A.Name > B.Name;
  });
  return copies;
}
}  // namespace

void TForm1::UpdateTitle() {
  std::string title;
  if (FFileName.empty()) {
    if (UnsavedWork()) title = "*Untitled \u2014 ";
  } else {
    if (FModified) title = "*";
    title += ExtractFileName(FFileName);
    title += " \u2014 ";
  }
  title += "Panes";
  SetText(title);
}

void TForm1::SetModified(bool AModified) {
  FModified = AModified;
  // Opened or saved: nothing typed is left to keep.
  if (!AModified) FTyped = false;
  UpdateTitle();
}

void TForm1::WorkspaceChange(TObject* Sender) {
  const bool before = UnsavedWork();
  // Text typed into an editor or a grid is work to keep, file or no file;
  // panes alone, and empty editors and grids, are not.
  if (!FTyped) {
    const TContentValue value = ContentValueOf(dynamic_cast<const TControl*>(Sender));
    FTyped =
        !value.Text.empty() || std::any_of(value.Cells.begin(), value.Cells.end(),
                                           [](const std::string& ACell) { return !ACell.empty(); });
  }
  FModified = true;
  // Typing in a cell taken back with Escape: the window may hold just what
  // was opened or saved again.
  // So may panes put back as they were (a move cancelled, an undo).
  const auto* grid = dynamic_cast<const TStringGrid*>(Sender);
  const bool back =
      (grid != nullptr && !grid->Editing()) || (Sender == FMainPanel && FMainPanel->PuttingBack());
  if (back && FMainPanel != nullptr && ContentMark(FMainPanel->Workspace()) == FSavedMark) {
    SetModified(false);
    ForgetRecovery();
    return;
  }
  if (UnsavedWork() != before) UpdateTitle();
  if (!UnsavedWork()) return;
  KeepRecoveryCopy();
  if (!FRecoveryTimer->Enabled()) FRecoveryTimer->SetEnabled(true);
}

void TForm1::SetFileName(const std::string& AFileName) {
  // The file as this window last read or wrote it, to tell a change made
  // by anyone else.
  FFileStamp = FileStamp(AFileName);
  if (AFileName == FFileName) return;
  // A copy kept under the old name stays where it is; new changes get one
  // of their own.
  FlushRecovery();
  FRecoveryCopy.clear();
  FCopyLock.reset();
  FFileName = AFileName;
  UpdateTitle();
  if (FFileName.empty()) {
    FFileLock.Unlock();
    return;
  }
  if (!FFileLock.Lock(StateFolder() + "/" + CopiesPrefix(FFileName) + "lock"))
    NoteFileOpenElsewhere();
}

void TForm1::NoteFileOpenElsewhere() {
  Application->ShowNote(this, Quoted(FFileName) + " is open in another Panes window too");
}

void TForm1::KeepRecoveryCopy() {
  if (!FRecoveryCopy.empty()) return;
  const std::string folder = CopiesFolder(FFileName);
  ForceDirectories(folder);
  FRecoveryCopy = folder + "/" + CopiesPrefix(FFileName) + RunMark() + CopySuffix;
  FCopyLock = std::make_unique<TFileLock>();
  FCopyLock->Lock(FRecoveryCopy + ".lock");
}

void TForm1::RecoveryTimer(TObject* /*Sender*/) {
  FRecoveryTimer->SetEnabled(false);
  if (!UnsavedWork()) return;
  KeepRecoveryCopy();
  // Written on a thread of its own: typing never waits for the disk.
  FWriter->Write(FRecoveryCopy, WriteWorkspace(CurrentWorkspace()));
}

void TForm1::ForgetRecovery() {
  FRecoveryTimer->SetEnabled(false);
  if (FRecoveryCopy.empty()) return;
  FWriter->Delete(FRecoveryCopy);
  // Released only once the copy is gone, so no other run offers it meanwhile.
  FlushRecovery();
  FRecoveryCopy.clear();
  FCopyLock.reset();
}

void TForm1::FlushRecovery() { FWriter->Wait(); }

void TForm1::EndSession(TObject* Sender) {
  RecoveryTimer(Sender);
  FlushRecovery();
}

TWorkspace TForm1::CurrentWorkspace() const {
  TWorkspace workspace;
  if (FMainPanel != nullptr) workspace = FMainPanel->Workspace();
  StoreWindowState(workspace);
  return workspace;
}

bool TForm1::ShowWorkspace(const TWorkspace& AWorkspace, TProgress* AProgress) {
  // The panes are built at the size the window takes; stopped, it takes
  // its own size and state again.
  TWorkspace before;
  StoreWindowState(before);
  RestoreWindowState(AWorkspace);
  if (AWorkspace.Panes.empty()) {
    delete FMainPanel;
    FMainPanel = nullptr;
    return true;
  }
  const bool hadPanes = FMainPanel != nullptr;
  if (!hadPanes) CreateHost();
  if (FMainPanel->Open(AWorkspace, AProgress)) return true;
  if (!hadPanes) {
    delete FMainPanel;
    FMainPanel = nullptr;
  }
  RestoreWindowState(before);
  return false;
}

bool TForm1::ShowWorkspaceOf(const std::string& AFileName, const TWorkspace& AWorkspace) {
  TProgress progress(this, "Opening " + Quoted(AFileName) + "\u2026",
                     static_cast<long>(AWorkspace.Panes.size()));
  // Should the system end the program while Qt is busy placing the new
  // panes, where the open cannot stop, the work on the screen now still
  // goes into its recovery copy.
  std::string keep, bytes;
  if (UnsavedWork()) {
    KeepRecoveryCopy();
    keep = FRecoveryCopy;
    bytes = WriteWorkspace(CurrentWorkspace());
  }
  Application->KeepWhileWorking(keep, std::move(bytes));
  FOpening = true;
  bool shown = false;
  try {
    shown = ShowWorkspace(AWorkspace, &progress);
  } catch (...) {
    FOpening = false;
    Application->WorkDone();
    throw;
  }
  FOpening = false;
  Application->WorkDone();
  if (shown) return true;
  if (progress.Cancelled())
    Application->ShowNote(
        FMainPanel != nullptr ? static_cast<TControl*>(FMainPanel->FCurrent) : this,
        "Open cancelled: the window is as it was");
  return false;
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
  // Changes the user chose to discard go only now: had the open failed or
  // been cancelled, or the program ended meanwhile, they would still be on
  // the screen, and in their copy.
  if (!ShowWorkspaceOf(AFileName, workspace)) return false;
  ForgetRecovery();
  SetFileName(ExpandFileName(AFileName));
  SetModified(false);
  FSavedMark = ContentMark(CurrentWorkspace());
  NoteRecentFile(FFileName);
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
  // A cell still being typed into takes its text now: what the file holds
  // is what the grid shows, whatever key comes next.
  CommitCellEdits();
  const TWorkspace workspace = CurrentWorkspace();
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
  FSavedMark = ContentMark(workspace);
  NoteRecentFile(FFileName);
  return true;
}

void TForm1::SaveExecute(TObject* Sender) {
  if (FFileName.empty())
    SaveAsExecute(Sender);
  else
    SaveTo(FFileName);
}

namespace {
const char* const CsvFilter = "CSV files (*.csv);;All files (*)";
}  // namespace

void TForm1::ImportCsvExecute(TObject* /*Sender*/) {
  if (CurrentGrid() == nullptr) return;
  std::string name;
  if (PromptForFileName(name, CsvFilter, "csv", "Import CSV into the grid", false)) ImportCsv(name);
}

bool TForm1::ImportCsv(const std::string& AFileName) {
  TStringGrid* grid = CurrentGrid();
  if (grid == nullptr) return false;
  std::string bytes, problem;
  TCellRows cells;
  if (LoadFromFile(AFileName, WorkspaceMaxBytes, bytes, problem) &&
      ReadCellsFromCsv(bytes, TStringGrid::MaxCells(), WorkspaceMaxCellBytes, cells, problem) &&
      !grid->PutCellRows(cells))
    problem = "the grid would grow past " + std::to_string(TStringGrid::MaxCells()) + " cells";
  if (!problem.empty()) {
    MessageDlg("Panes cannot import " + Quoted(AFileName) + ".", mtError, {"OK"}, 0, 0,
               "The reason: " + problem + ".\n\nThe grid is as it was.");
    return false;
  }
  return true;
}

void TForm1::ExportCsvExecute(TObject* /*Sender*/) {
  if (CurrentGrid() == nullptr) return;
  // Beside the workspace, named after it.
  std::string name = "grid.csv";
  if (const size_t dot = FFileName.rfind('.');
      !FFileName.empty() && dot != std::string::npos && dot > FFileName.rfind('/'))
    name = FFileName.substr(0, dot) + ".csv";
  if (PromptForFileName(name, CsvFilter, "csv", "Export the grid as CSV", true)) ExportCsv(name);
}

bool TForm1::ExportCsv(const std::string& AFileName) {
  TStringGrid* grid = CurrentGrid();
  if (grid == nullptr) return false;
  CommitCellEdits();
  std::string problem;
  if (!SaveToFile(AFileName, WriteCellsAsCsv(grid->UsedCells()), problem)) {
    MessageDlg("Panes cannot write " + Quoted(AFileName) + ".", mtError, {"OK"}, 0, 0,
               "The reason: " + problem + ".");
    return false;
  }
  return true;
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

bool TForm1::SaveOrDiscardFirst(bool AForgetOnDiscard) {
  return !UnsavedWork() ||
         SaveOrDiscardChanges(FFileName.empty()
                                  ? std::string("Save the changes to this window first?")
                                  : "Save the changes to " + Quoted(FFileName) + " first?",
                              AForgetOnDiscard);
}

void TForm1::OpenExecute(TObject* /*Sender*/) {
  // Discarded changes stay on the screen, and in their recovery copy, until
  // another file is open in their place.
  if (!SaveOrDiscardFirst(false)) return;
  std::string name = FFileName;
  if (!PromptForFileName(name, Filter, "panes", "Open a workspace", false)) return;
  if (OpenFile(name)) OfferRecovery();
}

void TForm1::FormCloseQuery(TObject* /*Sender*/, bool& CanClose) {
  // Not while a workspace is being opened: the window is in use. (The
  // system ending the program stops the open and keeps the work.)
  if (FOpening) {
    CanClose = false;
    return;
  }
  // Nothing to lose (a window without a file and nothing typed into it):
  // the window closes at once, as it always did.
  if (!UnsavedWork()) return;
  CanClose = SaveOrDiscardChanges(
      FFileName.empty() ? std::string("Save the changes to this window before leaving?")
                        : "Save the changes to " + Quoted(FFileName) + " before leaving?");
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
  // The answer to a question hides the note that the file is open in
  // another window too, which tells of changes that may clash: it comes again.
  if (AskAboutCopies() && !FFileName.empty() && !FFileLock.Locked()) NoteFileOpenElsewhere();
}

bool TForm1::AskAboutCopies() {
  // A copy still being written or deleted on the writer's thread (an open
  // that discarded changes has just asked for its deletion) is settled
  // before the disk is asked which copies there are.
  FlushRecovery();
  std::vector<TKeptCopy> copies = KeptCopies(FFileName, FRecoveryCopy);
  // Questions have their place on the screen.
  if (!copies.empty() && !Visible()) Show();
  const std::int64_t fileTime = FFileName.empty() ? -1 : FileTime(FFileName);
  const std::string whose =
      FFileName.empty() ? std::string("a window without a file") : Quoted(FFileName);
  for (size_t i = 0; i < copies.size(); ++i) {
    // The system ends the program: no more questions.
    if (Application->Ending()) return true;
    TKeptCopy& copy = copies[i];
    std::string detail = "Panes kept a copy of changes to " + whose +
                         " that were not saved when it last closed.\n\nKept at " +
                         TimeText(copy.Time);
    if (copies.size() > 1)
      detail += " (copy " + std::to_string(i + 1) + " of " + std::to_string(copies.size()) +
                ", newest first)";
    detail += ".";
    if (fileTime > copy.Time) detail += " The file has been saved since.";
    const int answer = MessageDlg("Recover unsaved changes?", mtConfirmation,
                                  {"Recover", "Discard", "Not now"}, 0, 2, detail);
    if (answer == 1) {
      DeleteFile(copy.Name);
      continue;
    }
    if (answer != 0) continue;  // not now: the copy waits for the next time
    std::string bytes, problem;
    TWorkspace workspace;
    if (LoadFromFile(copy.Name, WorkspaceMaxBytes, bytes, problem))
      problem = ReadWorkspace(bytes, workspace);
    if (!problem.empty()) {
      MessageDlg("The recovery copy of " + whose + " cannot be read.", mtError, {"OK"}, 0, 0,
                 "The reason: " + problem + ".\n\nThe copy: " + copy.Name);
      continue;
    }
    // Stopped, the copy stays for the next time.
    if (!ShowWorkspaceOf(copy.Name, workspace)) return true;
    // The changes are back, still to be saved, and this window keeps them
    // in the very copy they came from: nothing is lost if it ends too.
    ForgetRecovery();
    FRecoveryCopy = copy.Name;
    FCopyLock = std::move(copy.Lock);
    FTyped = true;
    SetModified(true);
    return true;
  }
  return !copies.empty();
}
