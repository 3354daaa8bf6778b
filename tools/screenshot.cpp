// Makes the README's screenshot: starts the real main window, gives it a few
// commands the way a user would, and saves what the screen shows.
//   screenshot <out.png>
#include <QApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <iostream>

#include "app/Unit1.h"
#include "widgets/Application.h"

namespace {
void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}
void Press(TButton* AButton) {
  QTest::mouseClick(AButton->Handle(), Qt::LeftButton);
  Settle();
}
void ClickPane(TSplitPanel* APane) {
  const TRect box = APane->FPaintBox->HandleRect();
  QTest::mouseClick(APane->FPaintBox->Handle(), Qt::LeftButton, {},
                    QPoint((box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2));
  Settle();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: screenshot <out.png>\n";
    return 2;
  }
  // The recovery copy of the notes typed below goes with a folder of its
  // own, not among the user's.
  QTemporaryDir state;
  qputenv("XDG_DATA_HOME", state.path().toLocal8Bit());
  Application->Initialize();
  Application->CreateForm(Form1);
  Form1->Show();
  QWidget* window = Form1->Handle();
  if (!QTest::qWaitForWindowExposed(window)) return 1;
  Settle();

  Press(Form1->Button1);  // create
  Press(Form1->Button3);  // side by side
  TMainPanel* host = Form1->MainPanel();
  TSplitPanel* right = host->FRoot->FSecond;
  Press(Form1->Button6);  // an editor into the left half
  QTest::keyClicks(host->FCurrent->Content()->Handle(), "Notes typed into the left pane.");
  ClickPane(right);
  Press(Form1->Button2);  // right half stacked
  Press(Form1->Button7);  // a grid into its top
  auto* grid = static_cast<TStringGrid*>(host->FCurrent->Content());
  grid->SetCells(1, 1, "42");
  grid->SetCells(2, 2, "分割");
  ClickPane(right->FSecond);
  Press(Form1->Button6);  // and an editor of its own into the pane below
  QTest::keyClicks(host->FCurrent->Content()->Handle(), "Each pane keeps its own notes.");
  Press(Form1->Button3);  // bottom right side by side
  ClickPane(right->FSecond->FSecond);
  Settle();
  window->repaint();
  Settle();
  const QImage image = window->screen()->grabWindow(window->winId()).toImage();
  const bool saved = image.save(QString::fromLocal8Bit(argv[1]));
  // Not closed first: the typed notes would make the window ask whether to
  // leave them, and nobody is there to answer.
  Application->Finalize();
  return saved ? 0 : 1;
}
