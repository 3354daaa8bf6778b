// The menu bar: every command in it with the keys the window binds, greyed
// out where it cannot act, the toolbar and the panes where they always were,
// and the list of recent workspaces.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app/RecentFiles.h"
#include "app/Unit1.h"
#include "tests/app/PaneTree.h"
#include "tests/support/Harness.h"
#include "widgets/Dialogs.h"
#include "widgets/Peer.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class Menus : public testing::Test {
 protected:
  void SetUp() override {
    SetDialogAnswers(&FAnswers);
    DeleteFile(TForm1::RecentListFile());
    FForm = std::make_unique<TForm1>(nullptr);
    ShowAndSettle(FForm.get());
  }
  void TearDown() override {
    FForm->Close();
    FForm.reset();
    SetDialogAnswers(nullptr);
    DeleteFile(TForm1::RecentListFile());
  }
  // The bar's menu captioned ACaption ("&Panes").
  TMenuItem* Menu(const std::string& ACaption) const {
    TMenuItem* bar = FForm->MainMenu1->Items();
    for (int i = 0; i < bar->Count(); ++i)
      if (bar->Items(i)->Caption() == ACaption) return bar->Items(i);
    return nullptr;
  }
  // Opens the menu as a user does, which brings its items up to date.
  TMenuItem* Open(const std::string& ACaption) {
    TMenuItem* menu = Menu(ACaption);
    emit menu->Submenu()->aboutToShow();
    return menu;
  }
  TMenuItem* Item(const std::string& AMenu, const std::string& ACaption) {
    TMenuItem* menu = Open(AMenu);
    for (int i = 0; i < menu->Count(); ++i)
      if (menu->Items(i)->Caption() == ACaption) return menu->Items(i);
    ADD_FAILURE() << "no " << ACaption << " in " << AMenu;
    return menu;
  }
  bool Enabled(const std::string& AMenu, const std::string& ACaption) {
    TMenuItem* item = Item(AMenu, ACaption);
    EXPECT_EQ(item->Peer()->isEnabled(), item->Enabled()) << ACaption;
    return item->Peer()->isEnabled();
  }
  // Chooses the item as a click does: through Qt's action.
  void Choose(const std::string& AMenu, const std::string& ACaption) {
    Item(AMenu, ACaption)->Peer()->trigger();
    Settle();
  }
  TMainPanel* Host() const { return FForm->MainPanel(); }
  TDialogAnswers FAnswers;
  std::unique_ptr<TForm1> FForm;
};

TEST_F(Menus, EveryBoundKeyIsInTheMenusAndTheKeysWindowAsTheWindowBindsIt) {
  // What the window really binds, read from Qt: each key once.
  std::map<QKeySequence, int> bound;
  for (QShortcut* shortcut : FForm->Handle()->findChildren<QShortcut*>())
    if (shortcut->isEnabled()) ++bound[shortcut->key()];
  // What the menus show.
  std::map<QKeySequence, std::string> shown;
  TMenuItem* bar = FForm->MainMenu1->Items();
  ASSERT_EQ(bar->Count(), 4);
  for (int m = 0; m < bar->Count(); ++m)
    for (int i = 0; i < bar->Items(m)->Count(); ++i) {
      QAction* action = bar->Items(m)->Items(i)->Peer();
      EXPECT_TRUE(action->text().isEmpty() || action->text().contains('&'))
          << action->text().toStdString() << " has no letter to choose it by";
      if (!action->shortcut().isEmpty()) shown[action->shortcut()] = action->text().toStdString();
    }
  FForm->KeysExecute(nullptr);
  ASSERT_EQ(FAnswers.Shown.size(), 1u);
  const std::string keysWindow = FAnswers.Shown.back();
  for (const auto& [keys, count] : bound) {
    const std::string text = keys.toString(QKeySequence::PortableText).toStdString();
    EXPECT_EQ(count, 1) << text << " bound twice: neither would run";
    EXPECT_NE(keysWindow.find(text), std::string::npos) << text << " missing in the Keys window";
    if (keys == QKeySequence(Qt::Key_F10)) continue;               // opens the menus themselves
    if (keys == QKeySequence(Qt::CTRL | Qt::Key_Equal)) continue;  // Ctrl++ in the menu
    EXPECT_TRUE(shown.count(keys)) << text << " is bound but in no menu";
  }
  // And back: the table's commands and the toolbar agree with the bindings.
  TButton* toolbar[] = {FForm->Button1, FForm->Button2, FForm->Button3, FForm->Button4,
                        FForm->Button5, FForm->Button6, FForm->Button7};
  int buttons = 0;
  for (size_t i = 0; i < TForm1::Commands().size(); ++i) {
    const TForm1::TCommand& command = TForm1::Commands()[i];
    if (command.Keys == 0) continue;
    SCOPED_TRACE(command.What);
    EXPECT_TRUE(shown.count(ToKeySequence(command.Keys)));
    // Each is a key a keyboard has: F3 once read as a letter no key sends.
    const QKeySequence keys = ToKeySequence(command.Keys);
    EXPECT_EQ(QKeySequence(keys.toString(QKeySequence::PortableText)), keys)
        << keys.toString().toStdString();
    EXPECT_EQ(bound.count(ToKeySequence(command.Keys)), command.Bound ? 1u : 0u)
        << "keys an editor binds itself must not be taken from it";
    if (command.Button > 0) {
      ++buttons;
      EXPECT_EQ(toolbar[command.Button - 1]->Hint(),
                std::string(command.What) + " (" + ShortCutToText(command.Keys) + ")");
    }
  }
  EXPECT_EQ(buttons, 7);
  // F10 opens the first menu, and Escape closes it again.
  ExpectQtWarning raise("does not support raise");
  ExpectQtWarning grab("does not support grabbing");
  QTest::keyClick(FForm->Handle(), Qt::Key_F10);
  EXPECT_EQ(QApplication::activePopupWidget(), Menu("&File")->Submenu());
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  Settle();
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(Menus, TheBarLiesAboveTheClientAreaWhichKeepsEveryPixel) {
  TForm1& f = *FForm;
  const int bar = f.MainMenu1->Height();
  ASSERT_GT(bar, 10);
  // The model is the layout's, to the pixel.
  EXPECT_EQ(std::pair(f.ClientWidth(), f.ClientHeight()), std::pair(688, 446));
  EXPECT_EQ(f.Width(), 696);
  EXPECT_EQ(f.Height(), 480);
  const TRect toolbar{0, 0, 688, 57}, panes{0, 57, 688, 446};
  EXPECT_EQ(f.Panel1->BoundsRect(), toolbar);
  EXPECT_EQ(f.Panel2->BoundsRect(), panes);
  // On the screen the window is taller by the bar, and everything else
  // lies below it at its own size.
  EXPECT_EQ(f.Handle()->size(), QSize(688, 446 + bar));
  EXPECT_EQ(f.MainMenu1->Peer()->geometry(), QRect(0, 0, 688, bar));
  EXPECT_EQ(f.Panel1->Handle()->geometry(), QRect(0, bar, 688, 57));
  EXPECT_EQ(f.Panel2->Handle()->geometry(), QRect(0, bar + 57, 688, 389));
  EXPECT_EQ(WindowPos(f.Splitter1), QPoint(0, bar + 57)) << "windowless children too";
  Choose("&Panes", "&Create Base Pane");
  EXPECT_EQ(Host()->BoundsRect(), panes);
  EXPECT_EQ(WindowPos(Host()->FRoot), QPoint(0, bar + 57));
  EXPECT_EQ(RedBox(Host()->FRoot->FPaintBox).size(),
            QSize(Host()->FRoot->FPaintBox->Width(), Host()->FRoot->FPaintBox->Height()));
  // A click reaches the pane under the pointer, below the bar.
  Choose("&Panes", "Split &Side by Side");
  Click(Host()->FRoot->FSecond->FPaintBox, 5, 5);
  EXPECT_EQ(Host()->FCurrent, Host()->FRoot->FSecond);
  // The window system resizing the window: the bar is not the client's.
  f.Handle()->resize(800, 500 + bar);
  Settle();
  EXPECT_EQ(std::pair(f.ClientWidth(), f.ClientHeight()), std::pair(800, 500));
  EXPECT_EQ(f.MainMenu1->Peer()->width(), 800);
  EXPECT_EQ(Host()->Height(), 500 - 57);
  EXPECT_EQ(f.Handle()->minimumSize(),
            QSize(f.MinWidth() - TForm::FrameWidth, f.MinHeight() - TForm::FrameHeight + bar));
  // Opening at the bottom of the screen: the window, bar and all, fits.
  f.SetVisible(false);
  const QRect area = f.Handle()->screen()->availableGeometry();
  f.SetBounds(area.left() + 10, area.bottom() + 1 - 480, 696, 480);
  f.SetVisible(true);
  Settle();
  EXPECT_EQ(f.Top(), area.bottom() + 1 - 480 - bar);
  EXPECT_EQ(f.Height(), 480);
  EXPECT_TREE_SOUND(Host());
}

TEST_F(Menus, ItemsAreGreyedWhereTheyCannotActAndRunTheirCommandWhereTheyCan) {
  // Before the base pane there is nothing to split, delete or fill.
  for (const char* caption : {"Split &Top and Bottom", "&Delete Pane", "&Editor", "&Grid",
                              "&Next Pane", "E&ven Out", "&Zoom"})
    EXPECT_FALSE(Enabled("&Panes", caption)) << caption;
  EXPECT_TRUE(Enabled("&Panes", "&Create Base Pane"));
  EXPECT_FALSE(Enabled("&Edit", "Undo La&yout Change"));
  EXPECT_FALSE(Enabled("&Edit", "&Undo"));
  EXPECT_TRUE(Enabled("&File", "Save &As…"));
  EXPECT_FALSE(Enabled("&File", "Open &Recent")) << "no workspace used yet";
  // A greyed item does nothing, nor do its keys.
  Choose("&Panes", "Split &Top and Bottom");
  QTest::keyClick(FForm->Handle(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Host(), nullptr);

  Choose("&Panes", "&Create Base Pane");
  ASSERT_NE(Host(), nullptr);
  EXPECT_FALSE(Enabled("&Panes", "&Create Base Pane"));
  EXPECT_FALSE(Enabled("&Panes", "&Delete Pane")) << "the base pane alone stays";
  EXPECT_FALSE(Enabled("&Panes", "&Zoom")) << "the base pane alone has the whole area";
  Choose("&Panes", "Split &Top and Bottom");
  Choose("&Panes", "Split &Side by Side");
  EXPECT_EQ(pane_tree::Dump(Host()), "[[AAA* | BBB] / BBB]");
  Choose("&Panes", "&Zoom");
  ASSERT_TRUE(Host()->Zoomed());
  EXPECT_TRUE(Enabled("&Panes", "&Zoom")) << "and back";
  Choose("&Panes", "&Zoom");
  EXPECT_FALSE(Host()->Zoomed());
  Choose("&Panes", "&Delete Pane");
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA* / BBB]");
  EXPECT_TRUE(Enabled("&Edit", "Undo La&yout Change"));
  EXPECT_FALSE(Enabled("&Edit", "Redo Layout C&hange"));
  Choose("&Edit", "Undo La&yout Change");
  EXPECT_EQ(pane_tree::Dump(Host()), "[[AAA* | BBB] / BBB]");
  EXPECT_TRUE(Enabled("&Edit", "Redo Layout C&hange"));

  // The editor's own commands act where the keyboard is.
  Choose("&Panes", "&Editor");
  auto* memo = dynamic_cast<TMemo*>(Host()->FCurrent->Content());
  ASSERT_NE(memo, nullptr);
  EXPECT_FALSE(Enabled("&Edit", "&Undo"));
  TypeText(memo, "hello");
  EXPECT_TRUE(Enabled("&Edit", "&Undo"));
  EXPECT_FALSE(Enabled("&Edit", "&Copy")) << "nothing selected";
  EXPECT_FALSE(Enabled("&Edit", "&Insert Rows")) << "no grid has the keys";
  Choose("&Edit", "Select &All");
  EXPECT_TRUE(Enabled("&Edit", "&Copy"));
  Choose("&Edit", "Cu&t");
  EXPECT_EQ(memo->Text(), "");
  EXPECT_TRUE(Enabled("&Edit", "&Paste"));
  Choose("&Edit", "&Paste");
  Choose("&Edit", "&Paste");
  EXPECT_EQ(memo->Text(), "hellohello");
  Choose("&Edit", "&Undo");
  EXPECT_EQ(memo->Text(), "hello");
  EXPECT_TRUE(memo->Focused()) << "the keys stay in the editor";
  // ...and in a grid's cell being edited.
  Choose("&Panes", "Go D&own");
  Choose("&Panes", "&Grid");
  auto* grid = dynamic_cast<TStringGrid*>(Host()->FCurrent->Content());
  ASSERT_NE(grid, nullptr);
  TypeText(grid, "42");
  auto* cell = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(cell, nullptr) << "the cell is being edited";
  Choose("&Edit", "Select &All");
  Choose("&Edit", "&Paste");
  EXPECT_EQ(cell->text().toStdString(), "hello");
  // ...and on a grid's selected cells when none is being edited.
  PressKey(grid, Qt::Key_Return);
  EXPECT_FALSE(grid->Editing());
  ASSERT_TRUE(Enabled("&Edit", "&Paste"));
  Choose("&Edit", "&Paste");
  EXPECT_EQ(grid->Cells(1, 2), "hello");
  Choose("&Edit", "Select &All");
  Choose("&Edit", "Cu&t");
  EXPECT_EQ(grid->Cells(1, 1) + grid->Cells(1, 2), "");
  EXPECT_EQ(QApplication::clipboard()->text().toStdString().substr(0, 9), "hello\t\t\t\n");
  // A grid's rows and columns too; a cell being typed into keeps its text.
  PressKey(grid, Qt::Key_Up);
  TypeText(grid, "kept");
  Choose("&Edit", "&Insert Rows");
  EXPECT_EQ(grid->RowCount(), 6);
  EXPECT_EQ(grid->Cells(1, 2), "kept");
  Choose("&Edit", "Delete C&olumns");
  EXPECT_EQ(grid->ColCount(), 4);
  EXPECT_EQ(grid->Cells(1, 2), "");
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo, grid}));
}

TEST_F(Menus, NewAsksAboutUnsavedWorkAndThenEmptiesTheWindow) {
  Choose("&Panes", "&Create Base Pane");
  Choose("&Panes", "&Editor");
  TypeText(Host()->FCurrent->Content(), "keep?");
  ASSERT_TRUE(FForm->Modified());
  FAnswers.Buttons = {2};  // Cancel
  Choose("&File", "&New");
  EXPECT_NE(Host(), nullptr);
  EXPECT_TRUE(FForm->Modified());
  FAnswers.Buttons = {1};  // Discard
  Choose("&File", "&New");
  EXPECT_EQ(Host(), nullptr);
  EXPECT_FALSE(FForm->Modified());
  EXPECT_EQ(FForm->FileName(), "");
  EXPECT_EQ(FForm->Text(), "Panes");
  EXPECT_EQ(FAnswers.Shown.size(), 2u) << "asked each time";
  // An unchanged window empties without a question.
  Choose("&Panes", "&Create Base Pane");
  FForm->SaveTo((fs::temp_directory_path() / "panes-menu-new.panes").string());
  Choose("&File", "&New");
  EXPECT_EQ(Host(), nullptr);
  EXPECT_EQ(FAnswers.Shown.size(), 2u);
  fs::remove(fs::temp_directory_path() / "panes-menu-new.panes");
}

TEST(RecentFiles, TheListKeepsTheTenNewestOnceEachAndReadsPastDamage) {
  const std::string list = (fs::temp_directory_path() / "panes-recent-test").string();
  fs::remove(list);
  std::string problem;
  EXPECT_TRUE(LoadRecentFiles(list).empty());
  for (int i = 0; i < 12; ++i)
    ASSERT_TRUE(AddRecentFile(list, "/w/" + std::to_string(i) + ".panes", problem)) << problem;
  AddRecentFile(list, "/w/5.panes", problem);
  std::vector<std::string> got = LoadRecentFiles(list);
  const std::vector<std::string> expected{"/w/5.panes", "/w/11.panes", "/w/10.panes", "/w/9.panes",
                                          "/w/8.panes", "/w/7.panes",  "/w/6.panes",  "/w/4.panes",
                                          "/w/3.panes", "/w/2.panes"};
  EXPECT_EQ(got, expected);
  RemoveRecentFile(list, "/w/9.panes", problem);
  EXPECT_EQ(LoadRecentFiles(list).size(), 9u);
  // Paths a line cannot hold stay out; the list stays whole.
  AddRecentFile(list, "/w/two\nlines.panes", problem);
  AddRecentFile(list, "/" + std::string(RecentPathMaxLength, 'x'), problem);
  EXPECT_EQ(LoadRecentFiles(list).size(), 9u);

  struct Damage {
    const char* What;
    std::string Text;
    std::vector<std::string> Read;
  };
  const Damage damages[] = {
      {"windows line ends", "/a.panes\r\n/b.panes\r\n", {"/a.panes", "/b.panes"}},
      {"relative and empty lines", "a.panes\n\n/b.panes\n~/c.panes", {"/b.panes"}},
      {"twice the same", "/a.panes\n/a.panes\n/b.panes", {"/a.panes", "/b.panes"}},
      {"a zero byte", std::string("/a\0.panes\n/b.panes", 18), {"/b.panes"}},
      {"an endless line", "/" + std::string(100000, 'y') + "\n/b.panes", {}},
      {"binary noise", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), {}},
      {"more than ten",
       [] {
         std::string text;
         for (int i = 0; i < 30; ++i) text += "/" + std::to_string(i) + "\n";
         return text;
       }(),
       {"/0", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9"}},
  };
  for (const Damage& d : damages) {
    std::ofstream(list, std::ios::binary | std::ios::trunc) << d.Text;
    EXPECT_EQ(LoadRecentFiles(list), d.Read) << d.What;
    // And the next workspace used puts the list right.
    ASSERT_TRUE(AddRecentFile(list, "/new.panes", problem)) << problem;
    got = LoadRecentFiles(list);
    EXPECT_EQ(got.front(), "/new.panes") << d.What;
    EXPECT_EQ(got.size(), std::min<size_t>(d.Read.size() + 1, RecentFilesMax)) << d.What;
  }
  fs::remove(list);
}

TEST_F(Menus, OpenRecentOpensAWorkspaceAndTakesAMissingOneOffTheList) {
  const fs::path folder = fs::temp_directory_path() / "panes-menu-recent";
  fs::create_directories(folder);
  const std::string kept = (folder / "kept.panes").string();
  const std::string gone = (folder / "gone & lost.panes").string();
  Choose("&Panes", "&Create Base Pane");
  Choose("&Panes", "Split &Side by Side");
  ASSERT_TRUE(FForm->SaveTo(kept));
  FForm->NoteRecentFile(kept);
  FForm->NoteRecentFile(gone);
  Choose("&File", "&New");
  ASSERT_EQ(Host(), nullptr);
  EXPECT_TRUE(Enabled("&File", "Open &Recent"));
  TMenuItem* recent = Item("&File", "Open &Recent");
  emit recent->Submenu()->aboutToShow();
  ASSERT_EQ(recent->Count(), 2);
  EXPECT_EQ(recent->Items(0)->Peer()->text().toStdString(),
            "&1  gone && lost.panes   " + (folder / "gone && lost.panes").string());
  // The missing one: said so, and off the list.
  recent->Items(0)->Peer()->trigger();
  Settle();
  ASSERT_FALSE(FAnswers.Shown.empty());
  EXPECT_NE(FAnswers.Shown.back().find("is no longer there"), std::string::npos);
  EXPECT_EQ(LoadRecentFiles(TForm1::RecentListFile()), std::vector<std::string>{kept});
  EXPECT_EQ(Host(), nullptr);
  emit recent->Submenu()->aboutToShow();
  ASSERT_EQ(recent->Count(), 1);
  recent->Items(0)->Peer()->trigger();
  Settle();
  EXPECT_EQ(FForm->FileName(), kept);
  ASSERT_NE(Host(), nullptr);
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA* | BBB]");
  fs::remove_all(folder);
}

// Every pane command is in reach of a single pointer: a right click on a
// pane opens its menu (and makes it current first, as any click does); on
// an editor or a grid their own menu keeps its commands and has the pane's
// as a submenu; Shift+F10 opens the same at the keys.
TEST_F(Menus, ARightClickOrShiftF10OpensThePanesMenuWithEveryPaneCommand) {
  ExpectQtWarning raise("does not support raise");
  ExpectQtWarning grab("does not support grabbing");
  Choose("&Panes", "&Create Base Pane");
  Choose("&Panes", "Split &Side by Side");
  TSplitPanel* right = Host()->FRoot->FSecond;
  auto openMenu = [] {
    Settle();
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
  };
  auto captions = [](QMenu* AMenu) {
    std::string all;
    for (QAction* action : AMenu->actions())
      if (!action->isSeparator()) all += action->text().toStdString() + ";";
    return all;
  };
  // The first item of AMenu whose underlined letter another item has too.
  auto mnemonicClash = [](QMenu* AMenu) {
    std::map<QChar, QString> seen;
    for (QAction* action : AMenu->actions()) {
      const QString text = action->text();
      const qsizetype amp = text.indexOf('&');
      if (amp < 0 || amp + 1 >= text.size()) continue;
      const QChar letter = text[amp + 1].toLower();
      if (seen.count(letter)) return (seen[letter] + " and " + text).toStdString();
      seen[letter] = text;
    }
    return std::string();
  };
  auto choose = [](QMenu* AMenu, const QString& ACaption) {
    for (QAction* action : AMenu->actions())
      if (action->text() == ACaption) {
        AMenu->close();
        action->trigger();
        Settle();
        return;
      }
    ADD_FAILURE() << ACaption.toStdString() << " is not in the menu";
  };
  // Shift+F10 on the current pane, empty, opens its menu; Escape closes it.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
  QMenu* atKeys = openMenu();
  ASSERT_NE(atKeys, nullptr) << "no menu for Shift+F10 on an empty pane";
  atKeys->close();
  Settle();
  // A right click on the right pane: it is current, and its menu lists the
  // commands with their keys, greyed where they cannot act.
  QWidget* pane = right->Handle();
  const TRect place = right->HandleRect();
  const QPoint at(place.Left + 20, place.Top + 20);
  QTest::mouseClick(pane, Qt::RightButton, {}, at);
  QContextMenuEvent click(QContextMenuEvent::Mouse, at, pane->mapToGlobal(at));
  QApplication::sendEvent(pane, &click);
  QMenu* menu = openMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Host()->FCurrent, right);
  EXPECT_EQ(captions(menu),
            "Split &Top and Bottom;Split &Side by Side;&Delete Pane;&Editor;&Grid;&Zoom;E&ven "
            "Out;&Move This Pane…;Move Pane with &Keys;T&urn the Halves;Cle&ar This Pane;Turn &into Grid;Turn "
            "i&nto Editor;Undo La&yout Change;Redo Layout C&hange;");
  for (QAction* action : menu->actions()) {
    if (action->text() == "Redo Layout C&hange") {
      EXPECT_FALSE(action->isEnabled());
    }
    if (action->text() == "&Editor") {
      EXPECT_EQ(action->shortcut().toString(), "Ctrl+Shift+M");
    }
  }
  choose(menu, "&Editor");
  auto* memo = dynamic_cast<TMemo*>(right->Content());
  ASSERT_NE(memo, nullptr);
  // In the editor: its own menu, and the pane's in it.
  TypeText(memo, "kept");
  QWidget* text = static_cast<QAbstractScrollArea*>(memo->Handle())->viewport();
  QContextMenuEvent inText(QContextMenuEvent::Mouse, QPoint(5, 5), text->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(text, &inText);
  menu = openMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_NE(captions(menu).find("Select All"), std::string::npos) << captions(menu);
  QMenu* panes = nullptr;
  for (QAction* action : menu->actions())
    if (action->menu() != nullptr && action->text() == "Pa&ne") panes = action->menu();
  ASSERT_NE(panes, nullptr) << captions(menu);
  EXPECT_EQ(mnemonicClash(menu), "") << "a letter chooses one item";
  choose(panes, "Split &Top and Bottom");
  menu->close();
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA | [AAA*+1 / BBB]]") << "the editor in its top half";
  EXPECT_EQ(memo->Text(), "kept");
  // Shift+F10 in a grid: the grid's commands at its current cell, and the
  // pane's; the grid's Insert Rows acts on it.
  Host()->SetCurrent(Host()->FRoot->FFirst);
  Choose("&Panes", "&Grid");
  auto* grid = dynamic_cast<TStringGrid*>(Host()->FCurrent->Content());
  ASSERT_NE(grid, nullptr);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
  menu = openMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(captions(menu).substr(0, 38), "&Undo;&Redo;Cu&t;&Copy;&Paste;C&lear;&")
      << captions(menu);
  EXPECT_NE(captions(menu).find("Pa&ne;"), std::string::npos);
  EXPECT_EQ(mnemonicClash(menu), "") << "a letter chooses one item";
  choose(menu, "&Insert Rows");
  EXPECT_EQ(grid->RowCount(), 6);
  // A right click on the headings, or the grey beyond them, is in the grid
  // too: its menu, not the pane's alone.
  for (QHeaderView* headings : {static_cast<QTableView*>(grid->Handle())->horizontalHeader(),
                                static_cast<QTableView*>(grid->Handle())->verticalHeader()}) {
    const QPoint at(headings->viewport()->width() - 2, headings->viewport()->height() - 2);
    QContextMenuEvent onHeadings(QContextMenuEvent::Mouse, at,
                                 headings->viewport()->mapToGlobal(at));
    QApplication::sendEvent(headings->viewport(), &onHeadings);
    menu = openMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(captions(menu).substr(0, 6), "&Undo;") << captions(menu);
    menu->close();
    Settle();
  }
}

}  // namespace
