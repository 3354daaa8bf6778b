// Random sequences of what a user does, with the whole tree checked after
// every step.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <set>
#include <sstream>

#include "app/Workspace.h"
#include "tests/app/HostFixture.h"
#include "widgets/Peer.h"

using namespace testing_support;

namespace {

// A tree without where its editors and grids are scrolled to: that follows
// their panes' sizes (a grid keeps its current cell in sight), which a
// window squeezed to a few pixels changes.
TPaneTree Unscrolled(TPaneTree ATree) {
  for (TPaneNode& node : ATree) node.Content.Top = node.Content.Left = 0;
  return ATree;
}

// Listens the way a screen reader does: a child coming or going is told
// while it still hangs in the tree, or the news goes nowhere.
void Listen(QAccessibleEvent* AEvent) {
  const QAccessible::Event type = AEvent->type();
  if (type != QAccessible::ObjectCreated && type != QAccessible::ObjectDestroyed) return;
  QAccessibleInterface* child = AEvent->accessibleInterface();
  ASSERT_NE(child, nullptr);
  QAccessibleInterface* parent = child->parent();
  ASSERT_NE(parent, nullptr) << child->text(QAccessible::Name).toStdString();
  if (type == QAccessible::ObjectCreated) {
    EXPECT_GE(parent->indexOfChild(child), 0) << child->text(QAccessible::Name).toStdString();
  }
}

class TContentWatch : public TComponent {
 public:
  TContentWatch() : TComponent(nullptr) {}
  std::set<const TComponent*> Dead;
  void Watch(TComponent* AComponent) { FreeNotification(AComponent); }

 protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override {
    if (AOperation == opRemove) Dead.insert(AComponent);
  }
};

unsigned SeedFromEnvironment() {
  const char* text = std::getenv("PANES_SEED");
  return text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 20261207u;
}

bool InTree(TSplitPanel* ARoot, const TWinControl* APane) {
  if (ARoot == nullptr) return false;
  return ARoot == APane || InTree(ARoot->FFirst, APane) || InTree(ARoot->FSecond, APane);
}

// Where every pane and splitter is, in window coordinates.
std::vector<TRect> Places(TSplitPanel* ARoot) {
  std::vector<TRect> places;
  auto add = [&](TControl* c) {
    const QPoint p = WindowPos(c);
    places.push_back({p.x(), p.y(), p.x() + c->Width(), p.y() + c->Height()});
  };
  for (TSplitPanel* p : pane_tree::SplitPanes(ARoot)) {
    add(p);
    add(p->FSplitter);
  }
  for (TSplitPanel* p : pane_tree::Leaves(ARoot)) add(p);
  return places;
}

// The current pane's whole frame is on the screen, where it can be seen.
std::string FrameProblem(TSplitPanel* ACurrent) {
  TPaintBox* box = ACurrent->FPaintBox;
  if (box == nullptr) return "current pane is not a leaf";
  if (box->Width() < 2 || box->Height() < 2) return {};
  // Parts of a pane pushed outside an ancestor are not on the screen.
  const QRect rect(WindowPos(box), QSize(box->Width(), box->Height()));
  for (TControl* c = ACurrent; c != nullptr; c = c->Parent())
    if (!QRect(WindowPos(c), QSize(c->Width(), c->Height())).contains(rect)) return {};
  const QImage image = ScreenImage(box);
  const QPoint corners[] = {rect.topLeft(),
                            rect.topRight(),
                            rect.bottomLeft(),
                            rect.bottomRight(),
                            QPoint(rect.center().x(), rect.top()),
                            QPoint(rect.left(), rect.center().y())};
  for (QPoint p : corners)
    if (!IsRed(image.pixel(p))) {
      // What lies there, to tell a frame painted over from one not painted.
      QWidget* window = box->Handle()->window();
      QWidget* top = window->childAt(p);
      return "frame of the current pane is not on the screen at " + std::to_string(p.x()) + "," +
             std::to_string(p.y()) + " (" + QColor(image.pixel(p)).name().toStdString() +
             ", under " + (top != nullptr ? top->metaObject()->className() : "the window") +
             (top == box->Handle() ? ", the pane's own" : "") + ")";
    }
  return {};
}

// What the window shows of the panes is what a repaint of them draws: no
// pane, caption, splitter or editor left behind where it was. (Frames
// erased in white, straight on the screen, stay until the next repaint.
// A grid's own scroll bar repaints only the part let go after a press, which
// can leave a seam a grey level off; nothing left behind is that close.)
bool Near(QRgb A, QRgb B) {
  return std::abs(qRed(A) - qRed(B)) <= 2 && std::abs(qGreen(A) - qGreen(B)) <= 2 &&
         std::abs(qBlue(A) - qBlue(B)) <= 2;
}

std::string StaleProblem(TMainPanel* AHost) {
  Application->HideNote();
  Settle();
  QWidget* handle = AHost->Handle();
  if (handle->width() <= 0 || handle->height() <= 0) return {};
  const QPoint at = handle->mapTo(handle->window(), QPoint());
  const QImage screen =
      ScreenImage(AHost).copy(QRect(at, handle->size())).convertToFormat(QImage::Format_RGB32);
  QImage fresh(handle->size(), QImage::Format_RGB32);
  handle->render(&fresh);
  const auto bytes = static_cast<size_t>(fresh.width()) * sizeof(QRgb);
  for (int y = 0; y < fresh.height(); ++y) {
    if (std::memcmp(screen.constScanLine(y), fresh.constScanLine(y), bytes) == 0) continue;
    for (int x = 0; x < fresh.width(); ++x) {
      const QRgb shown = screen.pixel(x, y), drawn = fresh.pixel(x, y);
      if (Near(shown, drawn) || shown == qRgb(255, 255, 255)) continue;
      return "the screen shows " + QColor(shown).name().toStdString() + " at " + std::to_string(x) +
             "," + std::to_string(y) + " where the panes draw " +
             QColor(drawn).name().toStdString();
    }
  }
  return {};
}

// The one truth about where the user is: the keyboard is in the current
// pane (its content, or the pane itself), where the window will give it.
std::string FocusProblem(TMainPanel* AHost) {
  QWidget* window = AHost->Handle()->window();
  QWidget* focus = window->focusWidget();
  if (focus == nullptr) return "nothing in the window holds the keyboard";
  if (!AHost->FCurrent->Focused()) {
    std::string where;
    for (QWidget* w = focus; w != nullptr; w = w->parentWidget())
      if (!w->accessibleName().isEmpty()) where += " / " + w->accessibleName().toStdString();
    return std::string("the keyboard is on a ") + focus->metaObject()->className() +
           " outside the current pane, in" + where +
           " (current: " + AHost->FCurrent->AccessibleName() + ")";
  }
  return {};
}

// What a pane's content says it is: its text, or its first editable cell.
std::string Note(TControl* AContent) {
  if (auto* grid = dynamic_cast<TStringGrid*>(AContent)) return grid->Cells(1, 1);
  return AContent->Text();
}

// ASteps random steps from ASeed, each checked as the user would see it.
void RunRandomTree(unsigned ASeed, int ASteps) {
  std::mt19937 random(ASeed);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };

  SetAccessibleEventSink(Listen);
  HostWindow w(640, 480);
  ShowAndSettle(w.Form.get());
  TMainPanel* host = w.Host;
  host->DescribePanes();
  host->SettleCurrent();
  TContentWatch watch;
  pane_tree::CheckOptions options;
  options.Named = true;
  std::set<TControl*> alive;  // content that must still exist, in a pane or kept for an undo
  std::ostringstream log;
  const int steps = ASteps;
  auto kept = [&](TControl* AContent) { return host->History().Keeps(AContent); };
  // Editors and grids a step made (a grid turned from an editor): watched
  // from now on like those the test put in.
  // Content kept for undo levels that may be let go: a new change drops
  // what could be redone, and the oldest level goes past the last.
  std::set<TControl*> mayDie;
  auto adopt = [&] {
    for (TSplitPanel* leaf : pane_tree::Leaves(w.Root()))
      if (TControl* content = leaf->Content();
          content != nullptr && (!alive.count(content) || watch.Dead.count(content))) {
        // The allocator may have handed this one the address of one that
        // died in this very step.
        if (alive.count(content)) {
          EXPECT_TRUE(mayDie.count(content))
              << "content destroyed though its pane or undo level lives";
        }
        watch.Dead.erase(content);
        alive.insert(content);
        options.Contents.insert(content);
        watch.Watch(content);
      }
  };
  // The tree as a value, the current pane marked: what undo must give back.
  auto state = [&] {
    return std::make_pair(Unscrolled(Snapshot(w.Root())), pane_tree::Dump(host));
  };
  auto randomLeaf = [&] {
    const auto all = pane_tree::Leaves(w.Root());
    return all[static_cast<size_t>(pick(static_cast<int>(all.size())))];
  };

  for (int step = 0; step < steps && !testing::Test::HasFailure(); ++step) {
    const int leaves = static_cast<int>(pane_tree::Leaves(w.Root()).size());
    // Grow early, then hover around a few dozen panes.
    int op = pick(112);
    if (leaves > 40 && op < 25) op += 25;
    TSplitPanel* mustBeCurrent = nullptr;
    mayDie.clear();
    for (TControl* c : alive)
      if (kept(c)) mayDie.insert(c);
    if (op < 25) {
      // Through the command: a split never leaves a half smaller than a
      // drag may make it; when there is no room nothing changes.
      const TAlign align = pick(2) == 0 ? alTop : alLeft;
      log << step << ": split " << (align == alTop ? "stacked" : "side by side") << "\n";
      const std::string before = pane_tree::Dump(host);
      TSplitPanel* pane = host->FCurrent;
      const bool room = TMainPanel::RoomToSplit(pane, align, 0.5f);
      host->SplitCurrentIfRoom(align, 0.5f);
      if (!room) {
        EXPECT_EQ(pane_tree::Dump(host), before) << "a split without room changed the tree";
      } else {
        ASSERT_NE(pane->FFirst, nullptr);
        const bool stacked = align == alTop;
        for (TSplitPanel* half : {pane->FFirst, pane->FSecond})
          EXPECT_GE(stacked ? half->Height() : half->Width(), TSplitter::DefaultMinSize)
              << "a split left a half too small to see";
      }
    } else if (op < 38) {
      // Removals, often undone at once, newest first: the very same tree,
      // every ratio to the bit, the same content in the same places.
      const int count = 1 + pick(3);
      log << step << ": delete " << count << "\n";
      const TPaneTree before = Unscrolled(Snapshot(w.Root()));
      const std::string dump = pane_tree::Dump(host);
      for (int i = 0; i < count; ++i) host->DeleteCurrent();
      if (pick(2) == 0) {
        log << step << ": undo them\n";
        const size_t removed = leaves - pane_tree::Leaves(w.Root()).size();
        for (size_t i = 0; i < removed; ++i) host->UndoLayout();
        EXPECT_EQ(pane_tree::Dump(host), dump)
            << "undoing removals puts the panes back as they were";
        EXPECT_TRUE(Unscrolled(Snapshot(w.Root())) == before)
            << "ratios or content differ after the undo";
      }
    } else if (op < 42) {
      log << step << ": undo one later\n";
      host->UndoLayout();
    } else if (op < 44) {
      log << step << ": redo\n";
      host->RedoLayout();
    } else if (op < 48) {
      log << step << ": zoom in and out\n";
      const std::vector<TRect> before = Places(w.Root());
      host->ToggleZoom();
      TSplitPanel* zoomed = host->FCurrent;
      if (host->Zoomed()) {
        // Whatever its depth, it covers the whole pane area exactly.
        EXPECT_EQ(WindowPos(zoomed), WindowPos(host));
        EXPECT_EQ(zoomed->Width(), host->Width());
        EXPECT_EQ(zoomed->Height(), host->Height());
        const std::string focus = FocusProblem(host);
        EXPECT_TRUE(focus.empty()) << focus;
      }
      host->ToggleZoom();
      // Panes squeezed to nothing tie with their splitters, which may then
      // change order; there is nothing to see of them either way.
      const auto places = Places(w.Root());
      const bool squeezed = std::any_of(before.begin(), before.end(), [](const TRect& r) {
        return r.Width() <= 0 || r.Height() <= 0;
      });
      if (!squeezed) {
        EXPECT_EQ(places, before) << "zoom did not bring everything back";
      }
    } else if (op < 54) {
      const int key = pick(7);
      log << step << ": keyboard " << key << "\n";
      if (key < 4) {
        host->SelectNeighbour(static_cast<TPaneDirection>(key));
      } else if (key < 6) {
        host->SelectNext(key == 4);
      } else {
        host->EvenOut();
      }
    } else if (op < 59) {
      const auto all = pane_tree::Leaves(w.Root());
      TSplitPanel* leaf = all[static_cast<size_t>(pick(static_cast<int>(all.size())))];
      TPaintBox* box = leaf->FPaintBox;
      const Qt::MouseButton button = pick(2) ? Qt::LeftButton : Qt::RightButton;
      if (box->Width() < 3 || box->Height() < 3 || leaf->Content() != nullptr) continue;
      log << step << ": click a leaf\n";
      Click(box, box->Width() / 2, box->Height() / 2, button);
      mustBeCurrent = leaf;
    } else if (op < 67) {
      // In the tree's order, not the addresses': a seed replays the run.
      std::vector<TControl*> shown;
      for (TSplitPanel* leaf : pane_tree::Leaves(w.Root()))
        if (TControl* c = leaf->Content(); c != nullptr && alive.count(c)) shown.push_back(c);
      if (shown.empty()) continue;
      TControl* content = shown[static_cast<size_t>(pick(static_cast<int>(shown.size())))];
      if (content->Width() < 8 || content->Height() < 8) continue;
      if (pick(2) == 0) {
        log << step << ": click into " << content->ClassName() << "\n";
        ClickOnTop(content, content->Width() / 2, content->Height() / 2);
      } else {
        // A window squeezed to nothing loses the keyboard; give it back, as
        // a click on the window would.
        QWidget* window = w.Form->Handle();
        if (window->width() == 0 || window->height() == 0) continue;
        QApplication::setActiveWindow(window);
        log << step << ": focus into " << content->ClassName() << "\n";
        w.Form->SetFocus();  // from outside, as Tab from elsewhere would
        static_cast<TWinControl*>(content)->SetFocus();
        Settle();
      }
      mustBeCurrent = static_cast<TSplitPanel*>(content->Parent());
    } else if (op < 78) {
      const auto split = pane_tree::SplitPanes(w.Root());
      if (split.empty()) continue;
      TSplitPanel* pane = split[static_cast<size_t>(pick(static_cast<int>(split.size())))];
      const int delta = pick(201) - 100;
      const bool stacked = pane->FSplitter->Align() == alTop;
      log << step << ": drag a splitter by " << delta << "\n";
      TSplitter* s = pane->FSplitter;
      Drag(s, s->Width() / 2, s->Height() / 2, stacked ? 0 : delta, stacked ? delta : 0, 2);
    } else if (op < 90) {
      const int width = pick(5) == 0 ? pick(8) : pick(1400);
      const int height = pick(5) == 0 ? pick(8) : pick(1000);
      log << step << ": resize to " << width << "x" << height << "\n";
      w.Form->SetClientSize(width, height);
      host->ResizePanes();  // in case the size did not change
    } else if (op >= 100) {
      // A few changes of every kind, then as many undos give back the very
      // tree before them (every ratio to the bit, every editor's and grid's
      // text and place, the current pane), and as many redos the one after.
      // Going to another pane is no change: the current pane is the one the
      // first change began in, and the one the last left.
      auto before = state(), after = before;
      const size_t serial = host->History().Serial();
      const int count = 1 + pick(5);
      log << step << ": " << count << " changes to undo:";
      for (int i = 0; i < count; ++i) {
        const auto pre = state();
        const size_t recorded = host->History().Serial();
        const int kind = pick(10);
        log << " " << kind;
        if (kind == 0) {
          const TDropSide side = static_cast<TDropSide>(1 + pick(5));
          TSplitPanel* target = randomLeaf();
          host->MovePane(host->FCurrent, target, side);
        } else if (kind == 1) {
          host->BeginMoveMode();
          for (int keys = 1 + pick(3); keys > 0; --keys) {
            static const unsigned codes[] = {'H', 'J', 'K', 'L', VK_LEFT, VK_RIGHT, 'F'};
            host->MoveModeKey(codes[pick(7)], pick(4) == 0);
          }
          host->EndMoveMode(pick(3) != 0);
        } else if (kind == 2) {
          host->FlipCurrent();
        } else if (kind == 3) {
          host->ClearCurrent();
        } else if (kind == 4) {
          host->TurnCurrent();
        } else if (kind == 5) {
          host->SplitCurrentIfRoom(pick(2) ? alTop : alLeft, 0.5f);
        } else if (kind == 6) {
          host->DeleteCurrent();
        } else if (kind == 7) {
          // A run of presses on one splitter is one change.
          const auto direction = static_cast<TPaneDirection>(pick(4));
          for (int keys = 1 + pick(3); keys > 0; --keys) host->MoveSplitter(direction, 10);
        } else if (kind == 8) {
          host->EvenOut();
        } else {
          host->SetCurrent(randomLeaf());
        }
        adopt();
        EXPECT_TREE_SOUND(host, options);
        // Presses on the splitter the last change moved join that change.
        const bool joined =
            kind == 7 && host->History().Serial() != serial && !(state().first == pre.first);
        if (host->History().Serial() == recorded && !joined) continue;
        if (recorded == serial) before = pre;
        after = state();
      }
      const size_t changes = host->History().Serial() - serial;
      log << " (" << changes << " recorded)\n";
      if (changes == 0) continue;
      EXPECT_LE(changes, static_cast<size_t>(count));
      for (size_t i = 0; i < changes; ++i) host->UndoLayout();
      EXPECT_TRUE(state().first == before.first) << "undo gave back other shares or content";
      EXPECT_EQ(state().second, before.second) << "undo gave back another tree";
      EXPECT_TREE_SOUND(host, options);
      for (size_t i = 0; i < changes; ++i) host->RedoLayout();
      EXPECT_TRUE(state().first == after.first) << "redo gave back other shares or content";
      EXPECT_EQ(state().second, after.second) << "redo gave back another tree";
    } else {
      const TContentKind kind = pick(2) == 0 ? ckMemo : ckGrid;
      log << step << ": put " << (kind == ckMemo ? "an editor" : "a grid")
          << " into the current pane\n";
      TControl* had = host->FCurrent->Content();
      TControl* made = host->PutContent(kind);
      if (had != nullptr) {
        EXPECT_EQ(made, nullptr) << "a pane holds one content control at most";
        EXPECT_EQ(host->FCurrent->Content(), had) << "the content already there stays";
      } else if (made != nullptr) {
        const std::string note = "note " + std::to_string(step);
        // Of any size, scrolled anywhere, at any text size: the files and
        // undo keep all of it.
        const int size = ReadingSizes[pick(static_cast<int>(std::size(ReadingSizes)))];
        if (auto* grid = dynamic_cast<TStringGrid*>(made)) {
          grid->SetColCount(2 + pick(40));
          grid->SetRowCount(2 + pick(300));
          grid->SetCells(grid->ColCount() - 1, grid->RowCount() - 1, "last");
          grid->SetCells(1, 1, note);
          grid->SetTopRow(1 + pick(grid->RowCount() - 1));
          grid->SetReadingSize(size);
        } else {
          auto* memo = static_cast<TMemo*>(made);
          memo->SetText(note + std::string(static_cast<size_t>(pick(3)) * 40, '\n'));
          memo->SetTopPosition(pick(static_cast<int>(memo->Text().size()) + 1));
          memo->SetReadingSize(size);
        }
        watch.Dead.erase(made);  // the allocator may hand out a dead one's address
        alive.insert(made);
        options.Contents.insert(made);
        watch.Watch(made);
      }
    }

    EXPECT_TREE_SOUND(host, options);
    if (mustBeCurrent != nullptr) {
      EXPECT_EQ(host->FCurrent, mustBeCurrent);
    }
    // Every few hundred steps the tree goes through a workspace file and
    // back: the same tree, every ratio to the bit, every pane and splitter
    // on its pixel, the same content and the same current pane.
    if (step % 250 == 249) {
      log << step << ": save and open\n";
      const TWorkspace saved = host->Workspace();
      const std::string dump = pane_tree::Dump(host);
      const std::vector<TRect> places = Places(w.Root());
      TWorkspace read;
      ASSERT_EQ(ReadWorkspace(WriteWorkspace(saved), read), "");
      for (TControl* c : alive) mayDie.insert(c);  // new controls show the same content
      // A current pane squeezed out of sight gives way to the largest pane.
      const bool inSight = TMainPanel::InSight(host->FCurrent);
      host->Open(read);
      auto unframed = [](std::string ADump) {
        ADump.erase(std::remove(ADump.begin(), ADump.end(), '*'), ADump.end());
        return ADump;
      };
      EXPECT_EQ(unframed(pane_tree::Dump(host)), unframed(dump));
      EXPECT_TRUE(host->Workspace().Panes == saved.Panes) << "shares or content differ";
      if (inSight) {
        EXPECT_EQ(host->Workspace().Current, saved.Current);
      } else {
        const auto leaves = pane_tree::Leaves(w.Root());
        EXPECT_TRUE(TMainPanel::InSight(host->FCurrent) ||
                    std::none_of(leaves.begin(), leaves.end(), TMainPanel::InSight))
            << pane_tree::Dump(host);
      }
      // Panes squeezed to nothing tie with their splitters (see zoom).
      const bool squeezed = std::any_of(places.begin(), places.end(), [](const TRect& r) {
        return r.Width() <= 0 || r.Height() <= 0;
      });
      if (!squeezed) {
        EXPECT_EQ(Places(w.Root()), places) << "a pane or splitter moved";
      }
      for (TSplitPanel* leaf : pane_tree::Leaves(w.Root()))
        if (TControl* content = leaf->Content()) {
          watch.Dead.erase(content);
          alive.insert(content);
          options.Contents.insert(content);
          watch.Watch(content);
        }
    }
    const std::string focus = FocusProblem(host);
    EXPECT_TRUE(focus.empty()) << focus << " " << pane_tree::Dump(host);
    Settle();
    const std::string frame = FrameProblem(host->FCurrent);
    EXPECT_TRUE(frame.empty()) << frame << " " << pane_tree::Dump(host);
    // (Every few steps: reading the whole window back is slow.)
    if (step % 4 == 3) {
      const std::string stale = StaleProblem(host);
      EXPECT_TRUE(stale.empty()) << stale << " " << pane_tree::Dump(host);
    }
    for (auto it = alive.begin(); it != alive.end();) {
      TControl* c = *it;
      if (watch.Dead.count(c) == 0) {
        if (c->Parent() == nullptr) {
          EXPECT_TRUE(kept(c) && !c->Visible()) << "content of a removed pane shows or is not kept";
        } else {
          EXPECT_TRUE(InTree(w.Root(), c->Parent()) && c->Visible()) << "content left the tree";
        }
        EXPECT_EQ(Note(c).rfind("note ", 0), 0u) << "content lost its text";
        ++it;
        continue;
      }
      EXPECT_TRUE(mayDie.count(c)) << "content destroyed though its pane or undo level lives";
      options.Contents.erase(c);
      it = alive.erase(it);
    }
  }
  if (testing::Test::HasFailure()) std::cout << "steps so far:\n" << log.str();
  SetAccessibleEventSink(nullptr);
}

TEST(RandomPaneTree, EveryStepKeepsTheTreeSoundTheFrameAndKeyboardTogetherAndNoContentLost) {
  const unsigned seed = SeedFromEnvironment();
  std::cout << "random pane tree seed " << seed << " (set PANES_SEED to replay)\n";
  const char* steps = std::getenv("PANES_STEPS");
  RunRandomTree(seed, steps != nullptr ? std::atoi(steps) : 3000);
}

// Runs of other seeds that once went wrong, as far as the step that did.
TEST(RandomPaneTree, RunsThatOnceWentWrongStaySound) {
  const struct {
    unsigned Seed;
    int Steps;
    const char* What;
  } runs[] = {
      {153, 252,
       "a half that reached over its parent's bevel, in a tree just opened, left its shadow "
       "behind when deleted"},
      {660, 1050,
       "the note saying why a drop was refused, shown at the pane dropped on, covered the "
       "frame of the carried pane beside it"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(std::string("seed ") + std::to_string(run.Seed) + ": " + run.What);
    RunRandomTree(run.Seed, run.Steps);
  }
}

// A balanced tree of ALeaves panes, an editor and a grid by turns, each
// with something in it.
void GrowFilled(TPaneTree& ATree, int ALeaves, int ADepth) {
  TPaneNode node;
  if (ALeaves > 1) {
    node.Leaf = false;
    node.Stacked = ADepth % 2 == 1;
    node.Ratio = static_cast<float>(ALeaves / 2) / static_cast<float>(ALeaves);
    ATree.push_back(node);
    GrowFilled(ATree, ALeaves / 2, ADepth + 1);
    GrowFilled(ATree, ALeaves - ALeaves / 2, ADepth + 1);
    return;
  }
  const auto n = std::to_string(ATree.size());
  if (ATree.size() % 2 == 0) {
    node.Content.Kind = ckMemo;
    node.Content.Text = "note " + n + ", 分割 and a line long enough to wrap in a small pane";
  } else {
    node.Content.Kind = ckGrid;
    node.Content.Cells.assign(25, "");
    node.Content.Cells[6] = n;
    node.Content.Cells[12] = "分割";
  }
  ATree.push_back(node);
}

// So many editors and grids shown at once that the window repaints whole
// show exactly what they draw, and again when as many replace them.
TEST(RandomPaneTree, HundredsOfEditorsAndGridsOpenedAtOnceShowWhatTheyDraw) {
  HostWindow w(640, 480);
  ShowAndSettle(w.Form.get());
  for (const int leaves : {96, 130}) {
    TWorkspace workspace;
    GrowFilled(workspace.Panes, leaves, 0);
    const auto first = std::find_if(workspace.Panes.begin(), workspace.Panes.end(),
                                    [](const TPaneNode& ANode) { return ANode.Leaf; });
    workspace.Current = static_cast<int>(first - workspace.Panes.begin());
    w.Host->Open(workspace);
    EXPECT_EQ(pane_tree::Leaves(w.Root()).size(), static_cast<size_t>(leaves));
    const std::string stale = StaleProblem(w.Host);
    EXPECT_TRUE(stale.empty()) << stale << " after opening " << leaves << " panes";
  }
}

}  // namespace
