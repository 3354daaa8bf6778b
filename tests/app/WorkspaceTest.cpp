// Workspace files through the main window: what a bad file does, saving
// safely, the question at leaving and the recovery copy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <tuple>

#include "app/Unit1.h"
#include "tests/app/HostWindow.h"
#include "tests/app/PaneTree.h"
#include "tests/support/Harness.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"
#include "widgets/Files.h"
#include "widgets/Memo.h"
#include "widgets/Progress.h"
#include "widgets/StringGrid.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class Workspaces : public testing::Test {
 protected:
  void SetUp() override {
    FFolder = fs::temp_directory_path() / ("panes-workspaces-" + std::to_string(getpid()));
    fs::remove_all(FFolder);
    fs::create_directories(FFolder);
    SetDialogAnswers(&FAnswers);
    FForm = std::make_unique<TForm1>(nullptr);
    ShowAndSettle(FForm.get());
  }
  void TearDown() override {
    FForm->FlushRecovery();
    FForm.reset();
    SetDialogAnswers(nullptr);
    std::system(("chattr -R -i " + FFolder.string() + " 2>/dev/null").c_str());
    fs::permissions(FFolder, fs::perms::owner_all);
    fs::remove_all(FFolder);
  }
  void Press(TButton* AButton) { Click(AButton, 5, 5); }
  TMainPanel* Host() const { return FForm->MainPanel(); }
  // A window with three panes: an editor, a grid and an empty one.
  void Build() {
    Press(FForm->Button1);
    Press(FForm->Button3);
    Press(FForm->Button6);
    TypeText(Host()->FCurrent->Content(), "notes");
    Host()->FCurrent->Content()->SetText("notes \u4e2d\u6587\n\"quoted\"\tand\\more");
    // Where the user was: the two CJK characters selected, backwards.
    static_cast<TMemo*>(Host()->FCurrent->Content())->SetSelection(8, 6);
    Click(Host()->FRoot->FSecond->FPaintBox, 10, 10);
    Press(FForm->Button2);
    Press(FForm->Button7);
    auto* grid = static_cast<TStringGrid*>(Host()->FCurrent->Content());
    grid->SetCells(2, 3, "42");
    grid->SetCol(2);
    grid->SetRow(3);
    Drag(Host()->FRoot->FSplitter, 1, 20, -57, 0);
  }
  std::string Text() const { return pane_tree::Dump(Host()); }
  fs::path FFolder;
  TDialogAnswers FAnswers;
  std::unique_ptr<TForm1> FForm;
};

TEST_F(Workspaces, SavingAndOpeningGiveBackEveryPaneShareContentAndPixel) {
  Build();
  const fs::path file = FFolder / "work.panes";
  EXPECT_EQ(FForm->Text(), "*Untitled \u2014 Panes") << "typed work, no file yet";
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  EXPECT_EQ(FForm->Text(), "work.panes \u2014 Panes");
  EXPECT_FALSE(FForm->Modified());
  const TWorkspace saved = Host()->Workspace();
  const std::string dump = Text();
  const TRect splitter = Host()->FRoot->FSplitter->BoundsRect();

  // Another window opens it: the same tree, shares to the bit, content,
  // current pane and pixels.
  auto other = std::make_unique<TForm1>(nullptr);
  ShowAndSettle(other.get());
  ASSERT_TRUE(other->OpenFile(file.string()))
      << (FAnswers.Shown.empty() ? "" : FAnswers.Shown.back());
  TMainPanel* host = other->MainPanel();
  EXPECT_EQ(pane_tree::Dump(host), dump);
  EXPECT_TRUE(host->Workspace().Panes == saved.Panes);
  EXPECT_EQ(host->Workspace().Current, saved.Current);
  const TContentValue& editor = saved.Panes[1].Content;
  EXPECT_EQ(std::pair(editor.Anchor, editor.Caret), std::pair(8, 6)) << "the caret is in the file";
  EXPECT_EQ(host->FRoot->FSplitter->BoundsRect(), splitter);
  EXPECT_EQ(other->Text(), "work.panes \u2014 Panes");
  EXPECT_FALSE(other->Modified());
  EXPECT_TRUE(host->FCurrent->Content()->Handle()->hasFocus()) << "the keys go where the frame is";
  // Typing marks the window as changed, even before a cell takes the text;
  // leaving then asks, and Cancel (Escape) keeps the window.
  TypeText(host->FCurrent->Content(), "7");
  EXPECT_TRUE(other->Modified());
  EXPECT_EQ(other->Text(), "*work.panes \u2014 Panes");
  FAnswers.Buttons = {2};
  other->Close();
  EXPECT_TRUE(other->Visible());
  ASSERT_FALSE(FAnswers.Shown.empty());
  EXPECT_NE(FAnswers.Shown.back().find("Save the changes to \u201cwork.panes\u201d"),
            std::string::npos);
  // Save (Return) saves, the cell still being edited, and leaves.
  FAnswers.Buttons = {0};
  other->Close();
  EXPECT_FALSE(other->Visible());
  EXPECT_NE(ReadAll(file).find("\"7\""), std::string::npos);
  other.reset();

  // A window without a file never asks and never writes.
  auto nameless = std::make_unique<TForm1>(nullptr);
  ShowAndSettle(nameless.get());
  Click(nameless->Button1, 5, 5);
  const size_t asked = FAnswers.Shown.size();
  nameless->Close();
  EXPECT_FALSE(nameless->Visible());
  EXPECT_EQ(FAnswers.Shown.size(), asked);
  EXPECT_EQ(nameless->RecoveryFileName(), "");
}

TEST_F(Workspaces, ABadFileIsRefusedWithItsNameAndReasonAndChangesNothing) {
  Build();
  const fs::path good = FFolder / "good.panes";
  ASSERT_TRUE(FForm->SaveTo(good.string()));
  const std::string valid = ReadAll(good);
  auto with = [&](const std::string& AFrom, const std::string& ATo) {
    std::string text = valid;
    const size_t at = text.find(AFrom);
    EXPECT_NE(at, std::string::npos) << AFrom;
    return at == std::string::npos ? text : text.replace(at, AFrom.size(), ATo);
  };
  // The first pane's ratio given as AValue.
  auto ratio = [&](const std::string& AValue) {
    std::string text = valid;
    const size_t at = text.find("\"ratio\": ") + 9;
    return text.replace(at, text.find_first_of(",\n}", at) - at, AValue);
  };
  const std::string small =
      "{\"format\": \"panes-workspace\", \"version\": 1, \"area\": {\"width\": 9, \"height\": 9}, ";
  struct TCase {
    const char* Name;
    std::string Bytes;  // written to the file, unless a folder
    const char* Reason;
  };
  // 20,000 panes as the user counts them: 19,999 splits and their leaves.
  std::string many = small + "\"current\": 19999, \"panes\": [";
  for (int i = 0; i < 19999; ++i) many += "{\"split\": \"top-bottom\", \"ratio\": 0.5}, ";
  for (int i = 0; i < 20000; ++i)
    many += i > 0 ? ", {\"leaf\": \"empty\"}" : "{\"leaf\": \"empty\"}";
  many += "]}";
  // A version 2 file with one grid of the cells given (a JSON list of rows).
  auto grid = [](const std::string& ACells, const std::string& AMore = "") {
    return "{\"format\": \"panes-workspace\", \"version\": 2, \"area\": {\"width\": 9, "
           "\"height\": 9}, \"current\": 0, \"panes\": [{\"leaf\": \"grid\", \"cells\": " +
           ACells + ", \"col\": 1, \"row\": 1" + AMore + "}]}";
  };
  std::string bigGrid = "[";
  for (int r = 0; r < 1001; ++r) {
    bigGrid += r > 0 ? ",[" : "[";
    for (int c = 0; c < 1000; ++c) bigGrid += c > 0 ? ",\"\"" : "\"\"";
    bigGrid += "]";
  }
  bigGrid += "]";
  std::string deep = "{\"a\":";
  for (int i = 0; i < 1000000; ++i) deep += '[';
  const TCase cases[] = {
      {"not JSON", "hello, panes", "at line 1, column 1"},
      // Where the file goes wrong is where the message points.
      {"a colon missing", "{\"format\" \"x\"}", "missing name separator at line 1, column 11"},
      {"two commas", "[1,,2]", "illegal value at line 1, column 4"},
      {"a comma missing", "[1,\n 2 x]", "missing value separator at line 2, column 4"},
      {"an object not closed", "{\"a\":1 \"b\":2}", "unterminated object at line 1, column 8"},
      {"a bad number", "{\"a\": x}", "illegal number at line 1, column 7"},
      {"text after the end", "{}\n}", "garbage at the end of the document at line 2, column 1"},
      {"truncated", valid.substr(0, valid.size() / 2), "it is not JSON"},
      {"not ours", "{\"format\": \"something else\", \"version\": 1}", "not a Panes workspace"},
      {"newer", with("\"version\": 2", "\"version\": 3"), "newer Panes (format version 3"},
      {"wrong type", ratio("\"half\""), "pane 1: \"ratio\" must be a number"},
      {"ratio above one", ratio("1.5"), "pane 1: \"ratio\" must lie between 0 and 1"},
      {"ratio zero", ratio("0"), "between 0 and 1"},
      {"ratio rounding to one", ratio("0.99999999999"), "between 0 and 1"},
      {"ratio infinite", ratio("1e999"), ""},
      {"ratio not a number", ratio("NaN"), "line"},
      {"unknown field", with("\"current\"", "\"kurrent\""), "unknown field \"kurrent\""},
      {"missing field", small + "\"panes\": [{\"leaf\": \"empty\"}]}", "\"current\" is missing"},
      {"current not a leaf",
       small + "\"current\": 0, \"panes\": [{\"split\": \"left-right\", "
               "\"ratio\": 0.5}, {\"leaf\": \"empty\"}, {\"leaf\": \"empty\"}]}",
       "not split"},
      {"a pane too many",
       small + "\"current\": 0, \"panes\": [{\"leaf\": \"empty\"}, {\"leaf\": \"empty\"}]}",
       "outside the tree"},
      {"split lacking a half",
       with("\"leaf\": \"empty\"", "\"split\": \"top-bottom\", \"ratio\": 0.5"),
       "a split lacks a half"},
      {"not UTF-8", with("notes", "no\xC3\x28tes"), "not valid UTF-8 at line"},
      {"a million levels", deep, "it is not JSON"},
      {"20,000 panes", many, "too many panes (20000; at most 8192)"},
      {"100 MB", std::string(100u << 20, ' '), "too large (100 MB"},
      {"ragged grid", grid("[[\"\", \"\"], [\"\", \"a\", \"b\"]]"),
       "row 2 of \"cells\" must be a list of 2 texts"},
      {"a grid of one row", grid("[[\"\", \"\"]]"), "at least 2 rows"},
      {"1,000,001 cells", grid(bigGrid), "too many cells (1001 x 1000; at most 1000000)"},
      {"a cell of 2 MB", grid("[[\"\", \"\"], [\"\", \"" + std::string(2u << 20, 'x') + "\"]]"),
       "a cell in row 2 is too long"},
      {"widths too few", grid("[[\"\", \"\"], [\"\", \"\"]]", ", \"widths\": [64, 64]"),
       "\"widths\" must be a list of 1"},
      {"a width negative", grid("[[\"\", \"\"], [\"\", \"\"]]", ", \"widths\": [3]"),
       "every width must be a whole number"},
      {"a grid scrolled past its rows", grid("[[\"\", \"\"], [\"\", \"\"]]", ", \"top\": 2"),
       "\"top\" must be a whole number from 1 to 1"},
      {"text too small", grid("[[\"\", \"\"], [\"\", \"\"]]", ", \"scale\": 10"),
       "\"scale\" must be a whole number from 50 to 400"},
      {"an editor's top past its text",
       with("\"leaf\": \"editor\",", "\"leaf\": \"editor\", \"top\": 99,"),
       "\"top\" must be a whole number from 0 to"},
      {"a version 1 grid of 6 rows",
       std::string(
           "{\"format\": \"panes-workspace\", \"version\": 1, \"area\": {\"width\": 9, "
           "\"height\": 9}, \"current\": 0, \"panes\": [{\"leaf\": \"grid\", \"cells\": [") +
           "[\"\",\"\",\"\",\"\",\"\"]," + "[\"\",\"\",\"\",\"\",\"\"]," +
           "[\"\",\"\",\"\",\"\",\"\"]," + "[\"\",\"\",\"\",\"\",\"\"]," +
           "[\"\",\"\",\"\",\"\",\"\"]," + "[\"\",\"\",\"\",\"\",\"\"]], \"col\": 1, \"row\": 1}]}",
       "\"cells\" must hold 5 rows"},
      {"a folder", "", "a folder"},
  };
  const TWorkspace before = Host()->Workspace();
  const std::string dump = Text();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const fs::path file = FFolder / (std::string(c.Name) + ".panes");
    if (std::string(c.Name) == "a folder")
      fs::create_directory(file);
    else
      WriteAll(file, c.Bytes);
    FAnswers.Shown.clear();
    EXPECT_FALSE(FForm->OpenFile(file.string()));
    ASSERT_EQ(FAnswers.Shown.size(), 1u) << "one message box";
    const std::string& message = FAnswers.Shown.front();
    EXPECT_NE(message.find("\u201c" + file.filename().string() + "\u201d"), std::string::npos)
        << message;
    EXPECT_NE(message.find(c.Reason), std::string::npos) << message;
    EXPECT_EQ(Text(), dump) << "the window changed";
    EXPECT_TRUE(Host()->Workspace().Panes == before.Panes);
    EXPECT_EQ(FForm->FileName(), fs::absolute(good).string());
    if (!fs::is_directory(file)) {
      EXPECT_EQ(ReadAll(file), c.Bytes) << "the file changed";
    }
  }
  // A file without read permission (root reads everything: not testable so;
  // scripts/test runs the unit tests as an ordinary user too).
  if (geteuid() != 0) {
    fs::permissions(good, fs::perms::none);
    FAnswers.Shown.clear();
    EXPECT_FALSE(FForm->OpenFile(good.string()));
    ASSERT_EQ(FAnswers.Shown.size(), 1u);
    EXPECT_NE(FAnswers.Shown.front().find("no permission to read"), std::string::npos);
    fs::permissions(good, fs::perms::owner_all);
  }
}

TEST_F(Workspaces, AFailedSaveKeepsTheOldFileAndTheUnsavedChanges) {
  Build();
  const fs::path folder = FFolder / "kept";
  fs::create_directory(folder);
  const fs::path file = folder / "work.panes";
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  const std::string old = ReadAll(file);
  const auto mode = fs::status(file).permissions();
  TypeText(Host()->FCurrent->Content(), "5");
  PressKey(Host()->FCurrent->Content(), Qt::Key_Return);
  ASSERT_TRUE(FForm->Modified());
  // The folder refuses new files: read-only, and for root immutable.
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  if (geteuid() == 0 && std::system(("chattr +i " + folder.string() + " 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot make a folder refuse root here";
  FAnswers.Shown.clear();
  EXPECT_FALSE(FForm->SaveTo(file.string()));
  ASSERT_EQ(FAnswers.Shown.size(), 1u);
  EXPECT_NE(FAnswers.Shown.front().find("could not save \u201cwork.panes\u201d"),
            std::string::npos);
  EXPECT_NE(FAnswers.Shown.front().find("its folder cannot be written; save it elsewhere with "
                                        "Save As (Ctrl+Shift+S)"),
            std::string::npos)
      << FAnswers.Shown.front();
  EXPECT_EQ(ReadAll(file), old);
  EXPECT_TRUE(FForm->Modified());
  EXPECT_EQ(FForm->Text(), "*work.panes \u2014 Panes");
  EXPECT_EQ(fs::directory_iterator(folder)->path(), file) << "no temporary left behind";
  std::system(("chattr -i " + folder.string() + " 2>/dev/null").c_str());
  fs::permissions(folder, fs::perms::owner_all);
  // A full disk (the write made to fail as one does) says so, in words.
  FailSaveStepForTests(TSaveStep::Write, ENOSPC);
  FAnswers.Shown.clear();
  EXPECT_FALSE(FForm->SaveTo(file.string()));
  FailSaveStepForTests(TSaveStep::Write, 0);
  ASSERT_EQ(FAnswers.Shown.size(), 1u);
  EXPECT_NE(FAnswers.Shown.front().find("the disk is full"), std::string::npos)
      << FAnswers.Shown.front();
  EXPECT_EQ(ReadAll(file), old);
  EXPECT_TRUE(FForm->Modified());
  EXPECT_EQ(fs::directory_iterator(folder)->path(), file) << "no temporary left behind";
  // A save that succeeds keeps the file's permissions.
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  EXPECT_EQ(fs::status(file).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  (void)mode;
}

// Waits until AForm's own recovery copy is on the disk (a busy machine may
// run the two seconds' timer late); its name, or empty if none came.
std::string KeptCopy(TForm1* AForm) {
  const std::string copy = AForm->RecoveryFileName();
  const bool kept = !copy.empty() && QTest::qWaitFor(
                                         [&] {
                                           AForm->FlushRecovery();
                                           return fs::exists(copy);
                                         },
                                         15000);
  return kept ? copy : std::string();
}

bool Asked(const TDialogAnswers& AAnswers, size_t AIndex, const std::string& AQuestion) {
  return AIndex < AAnswers.Shown.size() && AAnswers.Shown[AIndex].rfind(AQuestion, 0) == 0;
}

// A workspace of a long chain of panes, each with an editor, in a window
// of another size.
std::string ChainFile(int ASplits) {
  TWorkspace chain;
  chain.AreaWidth = 800;
  chain.AreaHeight = 600;
  for (int i = 0; i < ASplits; ++i) {
    TPaneNode split;
    split.Leaf = false;
    split.Stacked = i % 2 == 1;
    split.Ratio = 0.5f;
    chain.Panes.push_back(split);
  }
  for (int i = 0; i <= ASplits; ++i) {
    TPaneNode leaf;
    leaf.Content.Kind = ckMemo;
    leaf.Content.Text = "pane " + std::to_string(i);
    chain.Panes.push_back(leaf);
  }
  chain.Current = ASplits;
  chain.HasWindow = true;
  chain.WindowWidth = 900;
  chain.WindowHeight = 700;
  return WriteWorkspace(chain);
}

// Presses Escape in the window that shows an open's progress, once the
// open has looked at the events AAfter times with it up.
class TEscapeLater {
 public:
  explicit TEscapeLater(int AAfter) {
    FTimer.setInterval(0);
    QObject::connect(&FTimer, &QTimer::timeout, [this, AAfter] {
      QWidget* progress = QApplication::activeModalWidget();
      if (progress == nullptr || ++FSeen < AAfter) return;
      QTest::keyClick(progress, Qt::Key_Escape);
      FTimer.stop();
    });
    FTimer.start();
  }
  int FSeen = 0;

 private:
  QTimer FTimer;
};

// Escape in the progress of a long open cancels it, early or late, and
// the window is as it was: panes, content, title, size, the unsaved changes
// and their recovery copy; a note says so. A window without panes stays
// without. Uncancelled, the same file opens whole.
TEST_F(Workspaces, AnOpenCancelledWithEscapeChangesNothing) {
  Build();
  const std::string copy = KeptCopy(FForm.get());
  ASSERT_FALSE(copy.empty());
  const std::string kept = ReadAll(copy);
  const std::string dump = Text();
  const TWorkspace before = Host()->Workspace();
  const std::string title = FForm->Text();
  const int width = FForm->ClientWidth(), height = FForm->ClientHeight();
  const fs::path file = FFolder / "chain.panes";
  std::ofstream(file) << ChainFile(300);
  TProgress::EveryStepForTests(true);
  for (const int after : {1, 150, 301}) {
    TEscapeLater escape(after);
    EXPECT_FALSE(FForm->OpenFile(file.string())) << "Escape after " << after;
    EXPECT_EQ(escape.FSeen, after) << "the progress showed";
    EXPECT_EQ(Text(), dump);
    EXPECT_TRUE(Host()->Workspace().Panes == before.Panes);
    EXPECT_EQ(Host()->Workspace().Current, before.Current);
    EXPECT_EQ(FForm->Text(), title);
    EXPECT_TRUE(FForm->Modified());
    EXPECT_EQ(std::pair(FForm->ClientWidth(), FForm->ClientHeight()), std::pair(width, height));
    EXPECT_EQ(Application->LastNote(), "Open cancelled: the window is as it was");
    FForm->FlushRecovery();
    EXPECT_EQ(FForm->RecoveryFileName(), copy);
    EXPECT_EQ(ReadAll(copy), kept);
    EXPECT_TRUE(FAnswers.Shown.empty()) << FAnswers.Shown.front();
  }
  auto empty = std::make_unique<TForm1>(nullptr);
  ShowAndSettle(empty.get());
  {
    TEscapeLater escape(2);
    EXPECT_FALSE(empty->OpenFile(file.string()));
  }
  EXPECT_EQ(empty->MainPanel(), nullptr);
  EXPECT_EQ(empty->Text(), "Panes");
  TProgress::EveryStepForTests(false);
  ASSERT_TRUE(empty->OpenFile(file.string()));
  EXPECT_TRUE(WriteWorkspace(empty->MainPanel()->Workspace()).find("\"pane 300\"") !=
              std::string::npos);
  EXPECT_EQ(empty->MainPanel()->Workspace().Panes.size(), 601u);
}

TEST_F(Workspaces, UnsavedChangesAreKeptInRecoveryCopiesThatLaterStartsOffer) {
  const fs::path file = FFolder / "new.panes";
  FForm->OpenAtStart(file.string());
  EXPECT_EQ(FForm->Text(), "new.panes \u2014 Panes") << "a file still to be made";
  EXPECT_EQ(Host(), nullptr);
  Build();
  ASSERT_TRUE(FForm->Modified());
  const std::string first = KeptCopy(FForm.get());
  ASSERT_NE(first, "");
  EXPECT_FALSE(fs::exists(file)) << "nothing is saved unasked";
  // The window made wider after the copy was written: the copy follows, and
  // the window comes back at that size.
  FForm->SetBounds(FForm->Left(), FForm->Top(), FForm->Width() + 40, FForm->Height());
  const int wider = Host()->Width();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        FForm->FlushRecovery();
        std::string bytes, problem;
        TWorkspace copy;
        return LoadFromFile(first, WorkspaceMaxBytes, bytes, problem) &&
               ReadWorkspace(bytes, copy).empty() && copy.AreaWidth == wider;
      },
      15000))
      << "the copy keeps the window's earlier size";
  const std::string dump = Text();
  const TWorkspace lost = Host()->Workspace();
  // A second window on the same file leaves the first one's copy alone: it
  // offers it not, and keeps its own changes apart.
  {
    auto second = std::make_unique<TForm1>(nullptr);
    ShowAndSettle(second.get());
    FAnswers.Shown.clear();
    second->OpenAtStart(file.string());
    EXPECT_TRUE(FAnswers.Shown.empty()) << "another window's changes offered";
    EXPECT_NE(Application->LastNote().find("open in another Panes window"), std::string::npos);
    Click(second->Button1, 5, 5);
    const std::string own = KeptCopy(second.get());
    EXPECT_NE(own, "");
    EXPECT_NE(own, first);
    FAnswers.Buttons = {1};  // Discard at leaving
    second->Close();
    second->FlushRecovery();
    EXPECT_FALSE(fs::exists(own));
    EXPECT_TRUE(fs::exists(first));
  }
  FForm.reset();  // as a crash would leave it: the copy stays

  // The next start with the file offers it; Recover (Return) shows the
  // changes, unsaved, and the window keeps them in that very copy.
  auto start = [&](std::deque<int> AAnswers) {
    FForm = std::make_unique<TForm1>(nullptr);
    ShowAndSettle(FForm.get());
    FAnswers.Shown.clear();
    FAnswers.Buttons = std::move(AAnswers);
    FForm->OpenAtStart(file.string());
  };
  start({0});
  ASSERT_EQ(FAnswers.Shown.size(), 1u);
  EXPECT_TRUE(Asked(FAnswers, 0, "Recover unsaved changes?"));
  ASSERT_NE(Host(), nullptr);
  EXPECT_EQ(Text(), dump);
  EXPECT_TRUE(Host()->Workspace().Panes == lost.Panes);
  EXPECT_TRUE(FForm->Modified());
  EXPECT_EQ(FForm->RecoveryFileName(), first);
  FForm.reset();

  // Not now keeps the copy; new changes get one of their own, and the next
  // start offers both, newest first, each with its time.
  start({2});
  ASSERT_EQ(FAnswers.Shown.size(), 1u);
  EXPECT_FALSE(FForm->Modified());
  Press(FForm->Button1);
  Press(FForm->Button2);
  const std::string second = KeptCopy(FForm.get());
  ASSERT_NE(second, "");
  EXPECT_NE(second, first);
  EXPECT_TRUE(fs::exists(first)) << "the copy the user put off is gone";
  FForm.reset();
  start({2, 0});
  ASSERT_EQ(FAnswers.Shown.size(), 2u);
  EXPECT_TRUE(Asked(FAnswers, 0, "Recover unsaved changes?"));
  EXPECT_NE(FAnswers.Shown[0].find("(copy 1 of 2, newest first)"), std::string::npos);
  EXPECT_NE(FAnswers.Shown[1].find("(copy 2 of 2, newest first)"), std::string::npos);
  EXPECT_NE(FAnswers.Shown[1].find("Kept at " +
                                   std::to_string(1900 +
                                                  [] {
                                                    const std::time_t now = std::time(nullptr);
                                                    return std::localtime(&now)->tm_year;
                                                  }())),
            std::string::npos);
  EXPECT_EQ(Text(), dump) << "the older copy recovered";
  EXPECT_TRUE(fs::exists(second));

  // Saving lets the window's own copy go, no other; a copy older than the
  // file says so; Discard deletes it.
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  FForm->FlushRecovery();
  EXPECT_FALSE(fs::exists(first));
  EXPECT_TRUE(fs::exists(second));
  Press(FForm->Button2);
  const std::string third = KeptCopy(FForm.get());
  ASSERT_NE(third, "");
  FAnswers.Buttons = {1};
  FForm->Close();
  FForm->FlushRecovery();
  EXPECT_FALSE(fs::exists(third));
  EXPECT_EQ(ReadAll(file).find("\"split\": \"top-bottom\""),
            ReadAll(file).rfind("\"split\": \"top-bottom\""))
      << "discarded changes were not saved";
  FForm.reset();
  const fs::file_time_type later = fs::file_time_type::clock::now() + std::chrono::seconds(5);
  fs::last_write_time(file, later);
  start({1});
  ASSERT_EQ(FAnswers.Shown.size(), 1u);
  EXPECT_NE(FAnswers.Shown[0].find("The file has been saved since."), std::string::npos);
  EXPECT_FALSE(fs::exists(second));
  FForm.reset();
  start({});
  EXPECT_TRUE(FAnswers.Shown.empty()) << "a discarded copy offered again";
  // The one copy a file that earlier versions kept is offered too.
  const std::string own = fs::path(first).filename().string();
  const fs::path earlier =
      fs::path(first).parent_path() /
      (own.substr(0, own.find('.', std::string("new.panes-").size())) + ".recovery.panes");
  WriteAll(earlier, ReadAll(file));
  FForm.reset();
  start({1});
  EXPECT_EQ(FAnswers.Shown.size(), 1u) << earlier;
  EXPECT_FALSE(fs::exists(earlier));

  // Two windows on one file: neither saves over what the other saved
  // unasked. The second says so, after any question it asked too.
  WriteAll(earlier, ReadAll(file));
  auto other = std::make_unique<TForm1>(nullptr);
  ShowAndSettle(other.get());
  FAnswers.Shown.clear();
  FAnswers.Buttons = {2};  // Not now
  other->OpenAtStart(file.string());
  EXPECT_EQ(FAnswers.Shown.size(), 1u);
  bool noted = false;
  for (QLabel* label : other->Peer()->findChildren<QLabel*>())
    noted = noted || (label->isVisible() && label->text().contains("open in another Panes window"));
  EXPECT_TRUE(noted) << "the note that the file is open elsewhere went with the question";
  fs::remove(earlier);
  Press(FForm->Button3);
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  const std::string firsts = ReadAll(file);
  Click(other->Button2, 5, 5);
  FAnswers.Shown.clear();
  FAnswers.Buttons = {1};  // Cancel
  EXPECT_FALSE(other->SaveTo(file.string()));
  ASSERT_EQ(FAnswers.Shown.size(), 1u);
  EXPECT_NE(FAnswers.Shown[0].find("was changed by another program"), std::string::npos);
  EXPECT_EQ(ReadAll(file), firsts);
  EXPECT_TRUE(other->Modified());
  FAnswers.Buttons = {0};  // Save over it
  EXPECT_TRUE(other->SaveTo(file.string()));
  EXPECT_NE(ReadAll(file), firsts);
  FForm->FlushRecovery();
  FForm = std::move(other);
  Press(FForm->Button3);
  const std::string copy = KeptCopy(FForm.get());
  ASSERT_NE(copy, "");
  // Open, Discard, then no file chosen: the changes stay, and so does
  // their copy.
  FAnswers.Buttons = {1};
  FAnswers.FileNames = {""};
  FForm->OpenExecute(nullptr);
  FForm->FlushRecovery();
  EXPECT_TRUE(FForm->Modified());
  EXPECT_TRUE(fs::exists(copy)) << "changes on the screen lost their copy";
  // Discarded, then the file opened: the copy of the discarded changes is
  // gone before the open looks for one, so none is offered.
  FAnswers.Buttons = {1};
  FAnswers.FileNames = {file.string()};
  FAnswers.Shown.clear();
  FForm->OpenExecute(nullptr);
  FForm->FlushRecovery();
  for (const std::string& shown : FAnswers.Shown)
    EXPECT_NE(shown.rfind("Recover unsaved changes?", 0), 0u) << "the discarded changes offered";
  EXPECT_FALSE(FForm->Modified());
  EXPECT_FALSE(fs::exists(copy));
}

TEST_F(Workspaces, TypedWorkInAWindowWithoutAFileIsAskedAboutKeptAndRecovered) {
  fs::remove_all(StateFolder() + "/untitled");  // other windows' leftovers
  // Panes and an empty editor are no work to lose: no star, no copy.
  Press(FForm->Button1);
  Press(FForm->Button3);
  Press(FForm->Button6);
  EXPECT_EQ(FForm->Text(), "Panes");
  EXPECT_FALSE(FForm->UnsavedWork());
  EXPECT_EQ(FForm->RecoveryFileName(), "");
  TypeText(Host()->FCurrent->Content(), "untitled notes");
  EXPECT_EQ(FForm->Text(), "*Untitled \u2014 Panes");
  EXPECT_TRUE(FForm->UnsavedWork());
  // Every way of leaving asks; Cancel (Escape) stays.
  const std::string question = "Save the changes to this window before leaving?";
  for (auto leave :
       {+[](TForm1* AForm) { AForm->Close(); }, +[](TForm1* AForm) { Click(AForm->Button5, 5, 5); },
        +[](TForm1* AForm) { AForm->PeerCloseRequest(); }}) {
    FAnswers.Shown.clear();
    FAnswers.Buttons = {2};
    leave(FForm.get());
    EXPECT_TRUE(FForm->Visible());
    EXPECT_TRUE(Asked(FAnswers, 0, question));
  }
  // A logout writes the copy at once, without a question.
  FAnswers.Shown.clear();
  FForm->EndSession(nullptr);
  const std::string copy = FForm->RecoveryFileName();
  EXPECT_TRUE(fs::exists(copy));
  EXPECT_TRUE(FAnswers.Shown.empty());
  // Unsaved work is the user's alone to read.
  for (const fs::path& folder : {fs::path(StateFolder()), fs::path(copy).parent_path()})
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all) << folder;
  const std::string dump = Text();
  FForm.reset();  // then the program ends: the copy stays

  // The next start without a file offers it: Not now keeps it, Recover
  // shows it untitled and unsaved.
  for (int answer : {2, 0}) {
    FForm = std::make_unique<TForm1>(nullptr);
    ShowAndSettle(FForm.get());
    FAnswers.Shown.clear();
    FAnswers.Buttons = {answer};
    FForm->OfferRecovery();
    ASSERT_EQ(FAnswers.Shown.size(), 1u);
    EXPECT_TRUE(Asked(FAnswers, 0, "Recover unsaved changes?"));
    EXPECT_NE(FAnswers.Shown[0].find("a window without a file"), std::string::npos);
    EXPECT_TRUE(fs::exists(copy));
  }
  EXPECT_EQ(Text(), dump);
  EXPECT_EQ(FForm->Text(), "*Untitled \u2014 Panes");
  // Save (Return) asks for a name and saves there; the copy goes.
  const fs::path file = FFolder / "named.panes";
  FAnswers.Buttons = {0};
  FAnswers.FileNames = {file.string()};
  FForm->Close();
  EXPECT_FALSE(FForm->Visible());
  FForm->FlushRecovery();
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_NE(ReadAll(file).find("untitled notes"), std::string::npos);
  FForm.reset();
  FForm = std::make_unique<TForm1>(nullptr);
  FAnswers.Shown.clear();
  FForm->OfferRecovery();
  EXPECT_TRUE(FAnswers.Shown.empty()) << "a saved window's copy offered";
}

TEST_F(Workspaces, AfterEscapeInACellTheScreenTheStarAndTheFileAgree) {
  const fs::path file = FFolder / "plums.panes";
  Press(FForm->Button1);
  Press(FForm->Button7);
  auto* grid = static_cast<TStringGrid*>(Host()->FCurrent->Content());
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  // Typed into a cell still open, saved, then Escape: the cell keeps what
  // was saved, and nothing is left unsaved.
  TypeText(grid, "Plums");
  EXPECT_EQ(FForm->Text(), "*plums.panes \u2014 Panes");
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  PressKey(grid, Qt::Key_Escape);
  EXPECT_EQ(grid->Cells(1, 1), "Plums");
  EXPECT_EQ(FForm->Text(), "plums.panes \u2014 Panes");
  EXPECT_NE(ReadAll(file).find("\"Plums\""), std::string::npos);
  // A cell opened and closed again unchanged is no change.
  PressKey(grid, Qt::Key_F2);
  PressKey(grid, Qt::Key_Escape);
  EXPECT_FALSE(FForm->Modified());
  // Typing taken back with Escape leaves the window as saved, star and
  // recovery copy gone again; after another change, the copy holds the
  // cell as it shows.
  TypeText(grid, "Pears");
  EXPECT_TRUE(FForm->Modified());
  PressKey(grid, Qt::Key_Escape);
  EXPECT_EQ(grid->Cells(1, 1), "Plums");
  EXPECT_FALSE(FForm->Modified());
  EXPECT_EQ(FForm->Text(), "plums.panes \u2014 Panes");
  EXPECT_EQ(FForm->RecoveryFileName(), "");
  // So are panes put back as saved: a split undone, a move mode's moves
  // cancelled with Escape.
  Press(FForm->Button3);
  EXPECT_TRUE(FForm->Modified());
  Host()->UndoLayout();
  EXPECT_FALSE(FForm->Modified());
  EXPECT_EQ(FForm->Text(), "plums.panes \u2014 Panes");
  Press(FForm->Button3);
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  Host()->BeginMoveMode();
  ASSERT_TRUE(Host()->MoveModeKey('L', false));
  EXPECT_TRUE(FForm->Modified());
  Host()->EndMoveMode(false);
  EXPECT_FALSE(FForm->Modified());
  Press(FForm->Button2);
  TypeText(Host()->FCurrent->Content(), "Pears");
  PressKey(Host()->FCurrent->Content(), Qt::Key_Escape);
  EXPECT_TRUE(FForm->Modified());
  const std::string copy = KeptCopy(FForm.get());
  ASSERT_NE(copy, "");
  FForm->EndSession(nullptr);
  EXPECT_EQ(ReadAll(copy).find("Pears"), std::string::npos) << "the copy holds a cancelled value";
}

// The file keeps a grid as its first 5 x 5 cells: one the user grew is
// saved as that corner, every cell in its place and the current cell inside
// it, so the file opens again.
TEST_F(Workspaces, AGridAndAnEditorReopenWhereTheUserWasAtTheirTextSize) {
  const fs::path file = FFolder / "grown.panes";
  Press(FForm->Button1);
  Press(FForm->Button3);
  Press(FForm->Button6);
  auto* memo = static_cast<TMemo*>(Host()->FCurrent->Content());
  std::string text;
  for (int line = 0; line < 400; ++line) text += "line " + std::to_string(line) + "\n";
  memo->SetText(text);
  memo->SetSelection(10, 12);
  memo->SetTopPosition(static_cast<int>(text.find("line 250")));
  // Text sizes by the keys, as a user gives them: Ctrl++ (Ctrl and the
  // plus its layout gives), Ctrl+= and Ctrl+- on the editor, then back.
  const auto key = [](Qt::Key AKey) {
    QTest::keyClick(QApplication::focusWidget(), AKey, Qt::ControlModifier);
    Settle();
  };
  memo->SetFocus();
  key(Qt::Key_Plus);
  key(Qt::Key_Equal);
  EXPECT_EQ(memo->ReadingSize(), 125);
  EXPECT_TRUE(FForm->Modified()) << "a text size is saved with the workspace";
  EXPECT_EQ(Application->LastAnnouncement(), "Text size 125 %");
  key(Qt::Key_Minus);
  key(Qt::Key_0);
  EXPECT_EQ(memo->ReadingSize(), 100);
  key(Qt::Key_Plus);
  Host()->SetCurrent(Host()->FRoot->FSecond);
  Press(FForm->Button7);
  auto* grid = dynamic_cast<TStringGrid*>(Host()->FCurrent->Content());
  ASSERT_NE(grid, nullptr);
  for (int i = 0; i < 12; ++i) key(Qt::Key_Minus);
  EXPECT_EQ(grid->ReadingSize(), 50) << "the smallest; no further";
  EXPECT_NE(Application->LastNote().find("as small as it goes"), std::string::npos);
  key(Qt::Key_0);
  key(Qt::Key_Plus);
  grid->SetColCount(30);
  grid->SetRowCount(90);
  grid->SetCells(4, 4, "corner");
  grid->SetCells(1, 2, "second row");
  grid->SetCells(6, 8, "beyond");
  grid->SetCol(6);
  grid->SetRow(8);
  grid->SetColWidths(2, 150);
  grid->SetTopRow(40);
  grid->SetLeftCol(3);
  EXPECT_EQ(std::pair(grid->TopRow(), grid->LeftCol()), std::pair(40, 3));
  const TContentValue memoWas = ContentValueOf(memo);
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  auto other = std::make_unique<TForm1>(nullptr);
  ShowAndSettle(other.get());
  ASSERT_TRUE(other->OpenFile(file.string()))
      << (FAnswers.Shown.empty() ? "" : FAnswers.Shown.back());
  auto* opened = dynamic_cast<TStringGrid*>(other->MainPanel()->FCurrent->Content());
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(std::pair(opened->ColCount(), opened->RowCount()), std::pair(30, 90));
  EXPECT_EQ(std::pair(opened->TopRow(), opened->LeftCol()), std::pair(40, 3));
  EXPECT_EQ(opened->ReadingSize(), 110);
  auto* editor = dynamic_cast<TMemo*>(other->MainPanel()->FRoot->FFirst->Content());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(ContentValueOf(editor), memoWas) << "text, caret, selection, top and size";
  EXPECT_EQ(std::pair(memoWas.Top, memoWas.Scale),
            std::pair(static_cast<int>(text.find("line 250")), 110));
  EXPECT_FALSE(other->Modified()) << "what opened is what the file holds";
  // Opened into a window not shown yet: an editor keeps its text and caret
  // aside until it shows, and answers for them meanwhile and after.
  auto unseen = std::make_unique<TForm1>(nullptr);
  ASSERT_TRUE(unseen->OpenFile(file.string()));
  auto* waiting = dynamic_cast<TMemo*>(unseen->MainPanel()->FRoot->FFirst->Content());
  ASSERT_NE(waiting, nullptr);
  EXPECT_EQ(waiting->Text(), text);
  EXPECT_EQ(ContentValueOf(waiting), memoWas);
  ShowAndSettle(unseen.get());
  EXPECT_EQ(ContentValueOf(waiting), memoWas);
  EXPECT_EQ(static_cast<QPlainTextEdit*>(waiting->Peer())->document()->toPlainText().left(13),
            QStringLiteral("line 0\nline 1"));
  EXPECT_FALSE(unseen->Modified());
  EXPECT_EQ(opened->Cells(4, 4), "corner");
  EXPECT_EQ(opened->Cells(1, 2), "second row");
  EXPECT_EQ(opened->Cells(6, 8), "beyond");
  EXPECT_EQ(std::pair(opened->Col(), opened->Row()), std::pair(6, 8));
  EXPECT_EQ(opened->ColWidths(2), 150);
  EXPECT_EQ(opened->ColWidths(3), opened->DefaultColWidth());
}

// The window's client size and state go with the workspace and come back
// with it; resizing the window is no change to save, yet a save keeps it.
TEST_F(Workspaces, TheWindowReopensAtItsSizeAndStateAndEveryPaneOnItsPixel) {
  Build();
  FForm->SetClientSize(720, 500);
  Settle();
  const fs::path file = FFolder / "sized.panes";
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  FForm->SetClientSize(700, 480);
  Settle();
  EXPECT_FALSE(FForm->Modified()) << "resizing is not typed work";
  EXPECT_EQ(FForm->Text(), "sized.panes \u2014 Panes");
  ASSERT_TRUE(FForm->SaveTo(file.string()));
  const std::string dump = Text();
  const TRect splitter = Host()->FRoot->FSplitter->BoundsRect();
  const TRect current = Host()->FCurrent->BoundsRect();

  auto other = std::make_unique<TForm1>(nullptr);
  ShowAndSettle(other.get());
  ASSERT_TRUE(other->OpenFile(file.string()));
  Settle();
  EXPECT_EQ(std::pair(other->ClientWidth(), other->ClientHeight()), std::pair(700, 480));
  EXPECT_EQ(other->WindowState(), wsNormal);
  EXPECT_EQ(pane_tree::Dump(other->MainPanel()), dump);
  EXPECT_EQ(other->MainPanel()->FRoot->FSplitter->BoundsRect(), splitter);
  EXPECT_EQ(other->MainPanel()->FCurrent->BoundsRect(), current);
  EXPECT_FALSE(other->Modified());

  // Maximised, then opened again: maximised, at the very same size.
  other->SetWindowState(wsMaximized);
  ASSERT_TRUE(QTest::qWaitFor([&] { return other->ClientWidth() > 700; }, 5000));
  EXPECT_FALSE(other->Modified());
  ASSERT_TRUE(other->SaveTo(file.string()));
  const std::pair maximised(other->ClientWidth(), other->ClientHeight());
  const TRect maximisedSplitter = other->MainPanel()->FRoot->FSplitter->BoundsRect();
  other.reset();
  ASSERT_TRUE(FForm->OpenFile(file.string()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return FForm->ClientWidth() == maximised.first; }, 5000));
  Settle();
  EXPECT_EQ(FForm->WindowState(), wsMaximized);
  EXPECT_EQ(std::pair(FForm->ClientWidth(), FForm->ClientHeight()), maximised);
  EXPECT_EQ(Host()->FRoot->FSplitter->BoundsRect(), maximisedSplitter);

  // A normal window larger than the screen opens where it fits, as at
  // start; a file that does not name the window leaves it as it is.
  std::string text = ReadAll(file);
  text.replace(text.find("\"maximised\""), 11, "\"normal\"");
  text.replace(text.find("\"width\": " + std::to_string(maximised.first)),
               9 + std::to_string(maximised.first).size(), "\"width\": 9000");
  WriteAll(file, text);
  ASSERT_TRUE(FForm->OpenFile(file.string()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return FForm->WindowState() == wsNormal; }, 5000));
  Settle();
  const QRect screen = FForm->Handle()->screen()->availableGeometry();
  EXPECT_LE(FForm->Width(), screen.width());
  EXPECT_GE(FForm->Left(), screen.left());
  EXPECT_LE(FForm->Left() + FForm->Width(), screen.left() + screen.width());
  const TRect before = FForm->BoundsRect();
  text.replace(text.find("\"window\""),
               text.find('}', text.find("\"window\"")) - text.find("\"window\"") + 2, "");
  WriteAll(file, text);
  ASSERT_TRUE(FForm->OpenFile(file.string())) << text;
  Settle();
  EXPECT_EQ(FForm->BoundsRect(), before);
}

// Shares that squeeze the current pane out of sight keep their place in the
// file, but the keys go to a pane the user can see, and a note says so.
TEST_F(Workspaces, AFileNeverOpensWithTheCurrentPaneOutOfSight) {
  const fs::path file = FFolder / "squeezed.panes";
  WriteAll(file,
           "{\"format\": \"panes-workspace\", \"version\": 2, \"area\": {\"width\": 688, "
           "\"height\": 389}, \"current\": 1, \"panes\": [{\"split\": \"left-right\", \"ratio\": "
           "1e-30}, {\"leaf\": \"editor\", \"text\": \"hidden\"}, {\"split\": \"top-bottom\", "
           "\"ratio\": 0.25}, {\"leaf\": \"empty\"}, {\"leaf\": \"grid\", \"cells\": [[\"\", \"\", "
           "\"\", \"\", \"\"], [\"\", \"\", \"\", \"\", \"\"], [\"\", \"\", \"\", \"\", \"\"], "
           "[\"\", \"\", \"\", \"\", \"\"], [\"\", \"\", \"\", \"\", \"\"]], \"col\": 1, \"row\": "
           "1}]}");
  ASSERT_TRUE(FForm->OpenFile(file.string()));
  Settle();
  EXPECT_EQ(Host()->FRoot->FFirst->Width(), 0) << "the file's share is kept";
  EXPECT_EQ(Host()->FRoot->FRatio, 1e-30f);
  EXPECT_EQ(Host()->FCurrent, Host()->FRoot->FSecond->FSecond) << "the largest pane";
  EXPECT_TRUE(static_cast<TWinControl*>(Host()->FCurrent->Content())->Focused());
  EXPECT_NE(Application->LastNote().find("too small to see"), std::string::npos);
  EXPECT_FALSE(FForm->Modified());
  EXPECT_TREE_SOUND(
      Host(), pane_tree::Holding({Host()->FRoot->FFirst->Content(), Host()->FCurrent->Content()}));

  // In a window a few pixels high, a wide pane a pixel high is larger than
  // the narrow pane in sight, and still too thin for its frame.
  HostWindow low(300, 9);
  TWorkspace thin;
  ASSERT_EQ(ReadWorkspace("{\"format\": \"panes-workspace\", \"version\": 2, \"area\": "
                          "{\"width\": 300, \"height\": 9}, \"current\": 3, \"panes\": "
                          "[{\"split\": \"left-right\", \"ratio\": 0.04}, {\"leaf\": \"empty\"}, "
                          "{\"split\": \"top-bottom\", \"ratio\": 0.5}, {\"leaf\": \"empty\"}, "
                          "{\"leaf\": \"empty\"}]}",
                          thin),
            "");
  ASSERT_TRUE(low.Host->Open(thin));
  TSplitPanel* narrow = low.Root()->FFirst;
  TSplitPanel* wide = low.Root()->FSecond->FFirst;
  ASSERT_TRUE(TMainPanel::InSight(narrow));
  ASSERT_FALSE(TMainPanel::InSight(wide));
  ASSERT_GT(wide->Width() * wide->Height(), narrow->Width() * narrow->Height());
  EXPECT_EQ(low.Current(), narrow) << "the largest pane in sight";
}

// Version 1 files read as they always did; version 2 adds the window, which
// a version 2 file may leave out. Every window member is checked.
TEST(WorkspaceFormat, VersionsAndTheWindowMembersReadOrAreRefusedWithAReason) {
  auto file = [](int AVersion, const std::string& AWindow) {
    return "{\"format\": \"panes-workspace\", \"version\": " + std::to_string(AVersion) +
           ", \"area\": {\"width\": 688, \"height\": 389}, \"current\": 2, " +
           (AWindow.empty() ? "" : "\"window\": " + AWindow + ", ") +
           "\"panes\": [{\"split\": \"left-right\", \"ratio\": 0.25}, {\"leaf\": \"empty\"}, "
           "{\"leaf\": \"editor\", \"text\": \"x\"}]}";
  };
  const std::string sized = "{\"width\": 1100, \"height\": 700, \"state\": ";
  struct TCase {
    const char* Name;
    std::string Text;
    const char* Problem;  // empty: read
    bool HasWindow;
    int Width, Height;
    TWindowState State;
  };
  const TCase cases[] = {
      {"version 1", file(1, ""), "", false, 0, 0, wsNormal},
      {"version 2 without the window", file(2, ""), "", false, 0, 0, wsNormal},
      {"normal", file(2, sized + "\"normal\"}"), "", true, 1100, 700, wsNormal},
      {"maximised", file(2, sized + "\"maximised\"}"), "", true, 1100, 700, wsMaximized},
      {"full screen", file(2, sized + "\"full-screen\"}"), "", true, 1100, 700, wsFullScreen},
      {"smallest and largest", file(2, "{\"width\": 1, \"height\": 32767, \"state\": \"normal\"}"),
       "", true, 1, 32767, wsNormal},
      {"window in version 1", file(1, sized + "\"normal\"}"), "unknown field \"window\"", false, 0,
       0, wsNormal},
      {"newer version", file(3, ""), "newer Panes (format version 3; this one reads version 2)",
       false, 0, 0, wsNormal},
      {"window not an object", file(2, "[1100, 700]"), "\"window\" must be an object", false, 0, 0,
       wsNormal},
      {"unknown window member",
       file(2, "{\"width\": 1, \"height\": 1, \"state\": \"normal\", \"left\": 0}"),
       "window: there is an unknown field \"left\"", false, 0, 0, wsNormal},
      {"no state", file(2, "{\"width\": 1100, \"height\": 700}"),
       "window: the field \"state\" is missing", false, 0, 0, wsNormal},
      {"no width", file(2, "{\"height\": 700, \"state\": \"normal\"}"),
       "window: the field \"width\" is missing", false, 0, 0, wsNormal},
      {"width zero", file(2, "{\"width\": 0, \"height\": 700, \"state\": \"normal\"}"),
       "window: \"width\" must be a whole number from 1 to 32767", false, 0, 0, wsNormal},
      {"height too large", file(2, "{\"width\": 9, \"height\": 32768, \"state\": \"normal\"}"),
       "window: \"height\" must be a whole number from 1 to 32767", false, 0, 0, wsNormal},
      {"width a fraction", file(2, "{\"width\": 9.5, \"height\": 9, \"state\": \"normal\"}"),
       "\"width\" must be a whole number", false, 0, 0, wsNormal},
      {"width a text", file(2, "{\"width\": \"9\", \"height\": 9, \"state\": \"normal\"}"),
       "window: \"width\" must be a number", false, 0, 0, wsNormal},
      {"state unknown", file(2, sized + "\"minimised\"}"),
       "window: \"state\" must be \"normal\", \"maximised\" or \"full-screen\"", false, 0, 0,
       wsNormal},
      {"state not a text", file(2, sized + "2}"), "window: \"state\" must be a string", false, 0, 0,
       wsNormal},
  };
  TWorkspace first;
  ASSERT_EQ(ReadWorkspace(cases[0].Text, first), "");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TWorkspace read = first;
    read.Current = -7;  // left as it was when refused
    const std::string problem = ReadWorkspace(c.Text, read);
    if (*c.Problem != '\0') {
      EXPECT_NE(problem.find(c.Problem), std::string::npos) << problem;
      EXPECT_EQ(read.Current, -7);
      continue;
    }
    ASSERT_EQ(problem, "");
    EXPECT_TRUE(read.Panes == first.Panes) << "the panes read as version 1 reads them";
    EXPECT_EQ(read.Current, first.Current);
    EXPECT_EQ(read.HasWindow, c.HasWindow);
    if (!c.HasWindow) continue;
    EXPECT_EQ(std::tuple(read.WindowWidth, read.WindowHeight, read.WindowState),
              std::tuple(c.Width, c.Height, c.State));
    // Written back, it reads the same, as version 2.
    const std::string again = WriteWorkspace(read);
    EXPECT_NE(again.find("\"version\": 2"), std::string::npos) << again;
    TWorkspace back;
    ASSERT_EQ(ReadWorkspace(again, back), "");
    EXPECT_EQ(std::tuple(back.HasWindow, back.WindowWidth, back.WindowHeight, back.WindowState),
              std::tuple(true, c.Width, c.Height, c.State));
  }
}

// Every ratio is written so that it reads back as the very same float.
TEST(WorkspaceFormat, RatiosRoundTripBitForBitAndDeepChainsOpen) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> bits(0x00800000u, 0x3F7FFFFFu);  // (0, 1)
  TWorkspace workspace;
  for (int i = 0; i < 20000; ++i) {
    TPaneNode split;
    split.Leaf = false;
    split.Stacked = i % 2 == 0;
    split.Ratio = std::bit_cast<float>(bits(random));
    workspace.Panes = {split, TPaneNode(), TPaneNode()};
    workspace.Current = 1;
    TWorkspace back;
    ASSERT_EQ(ReadWorkspace(WriteWorkspace(workspace), back), "");
    ASSERT_EQ(std::bit_cast<std::uint32_t>(back.Panes[0].Ratio),
              std::bit_cast<std::uint32_t>(split.Ratio))
        << split.Ratio;
  }
  EXPECT_EQ(RatioText(0.5f), 0.5);
  EXPECT_EQ(RatioText(0.1f), 0.1) << "the short text, not the float's long tail";

  // A chain of 4,096 leaves (what pressing a split button does) saves and
  // reads back; deeper or larger trees are refused, never recursed into.
  auto chain = [](size_t ALeaves) {
    TWorkspace w;
    for (size_t i = 1; i < ALeaves; ++i) {
      TPaneNode split;
      split.Leaf = false;
      split.Ratio = 0.5f;
      w.Panes.push_back(split);
    }
    w.Panes.push_back(TPaneNode());
    for (size_t i = 1; i < ALeaves; ++i) w.Panes.push_back(TPaneNode());
    w.Current = static_cast<int>(ALeaves - 1);
    return w;
  };
  TWorkspace back;
  EXPECT_EQ(ReadWorkspace(WriteWorkspace(chain(4096)), back), "");
  EXPECT_EQ(back.Panes.size(), 8191u);
  EXPECT_NE(ReadWorkspace(WriteWorkspace(chain(8194)), back).find("too"), std::string::npos);
}

}  // namespace

// A grid's cells out to a CSV file and into another grid; a bad file is
// refused with its line, the grid as it was.
TEST_F(Workspaces, AGridGoesToACsvFileAndComesBackAndABadFileChangesNothing) {
  Press(FForm->Button1);
  Press(FForm->Button7);
  auto* grid = static_cast<TStringGrid*>(Host()->FCurrent->Content());
  grid->SetCells(1, 1, "name");
  grid->SetCells(2, 1, "note, with comma");
  grid->SetCells(1, 3, "\u6578\u91cf");
  const fs::path csv = FFolder / "cells.csv";
  ASSERT_TRUE(FForm->ExportCsv(csv.string()));
  EXPECT_EQ(ReadAll(csv), "name,\"note, with comma\"\r\n,\r\n\u6578\u91cf,\r\n");
  Press(FForm->Button3);
  Host()->SetCurrent(Host()->FRoot->FSecond);
  Press(FForm->Button7);
  auto* other = static_cast<TStringGrid*>(Host()->FCurrent->Content());
  ASSERT_NE(other, grid);
  other->SetCol(2);
  other->SetRow(2);
  ASSERT_TRUE(FForm->ImportCsv(csv.string()));
  EXPECT_EQ(other->Cells(2, 2), "name") << "put at the current cell, as a paste";
  EXPECT_EQ(other->Cells(3, 2), "note, with comma");
  EXPECT_EQ(other->Cells(2, 4), "\u6578\u91cf");
  const fs::path bad = FFolder / "bad.csv";
  WriteAll(bad, "a,b\r\nc,\"never closed\r\n");
  const std::string before = other->Cells(2, 2);
  FAnswers.Shown.clear();
  other->SetCol(1);
  other->SetRow(1);
  EXPECT_FALSE(FForm->ImportCsv(bad.string()));
  ASSERT_EQ(FAnswers.Shown.size(), 1u);
  EXPECT_NE(FAnswers.Shown.front().find("line 2: a quoted field is not closed"), std::string::npos)
      << FAnswers.Shown.front();
  EXPECT_EQ(other->Cells(1, 1), "");
  EXPECT_EQ(other->Cells(2, 2), before);
}
