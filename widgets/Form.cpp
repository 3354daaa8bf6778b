#include "widgets/Form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>
#include <cctype>

#include "widgets/Application.h"
#include "widgets/Exception.h"
#include "widgets/FormStream.h"
#include "widgets/Menu.h"
#include "widgets/Peer.h"
#include "widgets/Resources.h"

namespace {
class TFormPeer : public TPlainPeer {
 public:
  explicit TFormPeer(TForm* AForm) : TPlainPeer(AForm, true) {}

 protected:
  // Qt fills a window's background (the form's colour) before it paints.
  void PaintFace(QPainter& /*APainter*/, QPaintEvent* /*AEvent*/) override {}
  TForm* Form() const { return static_cast<TForm*>(FControl); }
  void resizeEvent(QResizeEvent* /*AEvent*/) override {
    // The window's size now, not the event's: where two changes queue up (a
    // resize, then maximised), Qt hands the first one's size with the
    // second one's geometry in place, and has no event for the second. The
    // window holds the menu bar above the client area.
    const QSize size = this->size();
    Dispatch([&] { Form()->PeerResized(size.width(), size.height() - Form()->PeerClientTop()); });
  }
  void moveEvent(QMoveEvent* /*AEvent*/) override {
    // Moved by the user or the window manager: the model learns the place,
    // or the next size change would put the window back where it was. The
    // event tells where the client area went; the model keeps the outer
    // corner, which is what move() takes.
    const QPoint corner = pos();
    Dispatch([&] { Form()->PeerMoved(corner.x(), corner.y()); });
  }
  // Tab goes in the same order as Ctrl+Tab out of an editor or a grid: the
  // controls', not the order Qt's widgets came into the window.
  bool focusNextPrevChild(bool ANext) override {
    bool moved = false;
    Dispatch([&] { moved = FocusNextInWindow(Form(), ANext); });
    return moved;
  }
  void closeEvent(QCloseEvent* AEvent) override {
    // The model decides; it hides the window itself when it agrees.
    AEvent->ignore();
    Dispatch([&] { Form()->PeerCloseRequest(); });
  }
};
}  // namespace

// Hands the window's key presses to OnKeyDown first.
class TForm::TKeyPreview : public QObject {
 public:
  explicit TKeyPreview(TForm* AForm) : FForm(AForm) { qApp->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    if (AEvent->type() != QEvent::KeyPress || !FForm->OnKeyDown) return false;
    auto* widget = qobject_cast<QWidget*>(AObject);
    if (widget == nullptr || widget->window() != FForm->Peer()) return false;
    const auto* event = static_cast<QKeyEvent*>(AEvent);
    unsigned key = KeyCodeOf(event->key());
    if (key == 0) return false;
    TShiftState shift = 0;
    if (event->modifiers() & Qt::ShiftModifier) shift |= ssShift;
    if (event->modifiers() & Qt::ControlModifier) shift |= ssCtrl;
    if (event->modifiers() & Qt::AltModifier) shift |= ssAlt;
    Dispatch([&] { FForm->OnKeyDown(FForm, key, shift); });
    return key == 0;
  }

 private:
  TForm* FForm;
};

void TForm::SetKeyPreview(bool AValue) {
  if (AValue == KeyPreview()) return;
  if (AValue)
    FKeyPreview = std::make_unique<TKeyPreview>(this);
  else
    FKeyPreview.reset();
}

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner, new TFormPeer(this)) {
  Peer()->setAttribute(Qt::WA_DeleteOnClose, false);
  Peer()->setAutoFillBackground(true);
  QPalette palette = Peer()->palette();
  palette.setColor(QPalette::Window, ToQColor(clBtnFace));
  Peer()->setPalette(palette);
  SetVisible(false);
  SetBounds(200, 120, 320 + FrameWidth, 240 + FrameHeight);
}

void TForm::InitInheritedComponent(const TFormClassInfo& AInfo) {
  std::string name = AInfo.ClassName;
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string_view stream = FindResource(name);
  if (stream.empty()) throw Exception("The window layout " + name + " is missing from the program");
  ReadFormStream(this, AInfo, stream, "window layout " + name);
}

TForm::~TForm() {
  // The menu, destroyed with the form's other components, outlives its bar.
  if (FMenu != nullptr) FMenu->FormDestroyed();
  if (Application != nullptr) Application->FormDestroyed(this);
}

TRect TForm::ClientRect() const {
  return {0, 0, std::max(0, Width() - FrameWidth), std::max(0, Height() - FrameHeight)};
}

void TForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  // Qt keeps the window at its minimum size; a smaller model would lay the
  // controls out for a window that is not there.
  TWinControl::SetBounds(ALeft, ATop, std::max(AWidth, FMinWidth), std::max(AHeight, FMinHeight));
}

void TForm::SetConstraints(int AMinWidth, int AMinHeight) {
  FMinWidth = AMinWidth;
  FMinHeight = AMinHeight;
  Peer()->setMinimumSize(std::max(0, AMinWidth - FrameWidth),
                         std::max(0, AMinHeight - FrameHeight) + FMenuHeight);
  SetBounds(Left(), Top(), Width(), Height());
}

void TForm::SetMenu(TMainMenu* AMenu) {
  FMenu = AMenu;
  const int height = AMenu != nullptr ? AMenu->Height() : 0;
  if (height != FMenuHeight) {
    FMenuHeight = height;
    SetConstraints(FMinWidth, FMinHeight);
    // The client area keeps its place in the model; on the screen it moves
    // below the bar, and the window grows by as much.
    PeerClientMoved();
    RequestPeerSync();
  }
  PlaceMenu();
}

void TForm::PlaceMenu() {
  if (FMenu != nullptr && FMenu->Peer() != nullptr)
    FMenu->Peer()->setGeometry(0, 0, Peer()->width(), FMenuHeight);
}

void TForm::Show() { SetVisible(true); }

void TForm::Close() {
  bool canClose = true;
  OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = caHide;
  OnClose(this, action);
  if (action == caNone) return;
  SetVisible(false);
  if (Application != nullptr && Application->MainForm() == this) Application->Terminate();
}

// Pushing the model's place or size back here would undo what the window
// manager just did: a maximised window would be moved back, or grown in
// place past the screen's edge.
void TForm::PeerResized(int AClientWidth, int AClientHeight) {
  AdoptPeerBounds(Left(), Top(), AClientWidth + FrameWidth, AClientHeight + FrameHeight);
  PlaceMenu();
}

void TForm::PeerMoved(int ALeft, int ATop) { AdoptPeerBounds(ALeft, ATop, Width(), Height()); }

void TForm::PeerCloseRequest() { Close(); }

void TForm::TextChanged() { Peer()->setWindowTitle(QString::fromStdString(Text())); }

void TForm::PushPeerState() {
  // Only what differs: each request may make the window manager drop a
  // state it chose, such as maximised. Read before asking, as Qt may report
  // back into the model while it moves the window.
  const QPoint corner(Left(), Top());
  const TRect client = ClientRect();
  const QSize size(client.Width(), client.Height() + FMenuHeight);
  if (Peer()->pos() != corner) Peer()->move(corner);
  if (Peer()->size() != size) Peer()->resize(size);
  PlaceMenu();
}

// A window's geometry() is its client area on the screen; the model keeps
// the outer corner and the outer size.
bool TForm::PeerOutOfDate() const {
  const TRect client = ClientRect();
  return Peer()->pos() != QPoint(Left(), Top()) ||
         Peer()->size() != QSize(client.Width(), client.Height() + FMenuHeight);
}

// The window manager owns the state: the user maximises and restores the
// window through its frame, so it is read from the window, not kept.
TWindowState TForm::WindowState() const {
  const Qt::WindowStates state = Peer()->windowState();
  if (state & Qt::WindowFullScreen) return wsFullScreen;
  if (state & Qt::WindowMaximized) return wsMaximized;
  return wsNormal;
}

void TForm::SetWindowState(TWindowState AState) {
  if (AState == WindowState()) return;
  static const Qt::WindowState states[] = {Qt::WindowNoState, Qt::WindowMaximized,
                                           Qt::WindowFullScreen};
  // The model's size must be on the window before the window manager
  // remembers it as the size to come back to.
  SyncPeers();
  Peer()->setWindowState(states[AState]);
}

void TForm::UpdatePeerVisibility() {
  if (Visible() && !Peer()->isVisible()) FitOnScreen();
  if (Visible()) SyncPeers();
  const bool hiding = !Visible() && Peer()->isVisible();
  Peer()->setVisible(Visible());
  // Gone from the screen at once, though long work may follow before the
  // event loop would tell the window system.
  if (hiding) QGuiApplication::sync();
}

// A place from the layout may lie partly off a small screen, or off any
// screen once the desktop scales the window up: the window opens wholly on
// the screen it opens on.
void TForm::FitOnScreen() {
  // The window on the screen is taller than the model's by the menu bar.
  TRect bounds = BoundsRect();
  bounds.Bottom += FMenuHeight;
  QScreen* screen = QGuiApplication::screenAt(
      QPoint(bounds.Left + bounds.Width() / 2, bounds.Top + bounds.Height() / 2));
  if (screen == nullptr) screen = Peer()->screen();
  if (screen == nullptr) return;
  // Device-independent pixels, as the model's are.
  const QRect area = screen->availableGeometry();
  const TRect fitted =
      FitInArea(bounds, {area.left(), area.top(), area.right() + 1, area.bottom() + 1}, MinWidth(),
                MinHeight() + FMenuHeight);
  SetBounds(fitted.Left, fitted.Top, fitted.Width(), fitted.Height() - FMenuHeight);
}

namespace {
// One axis of FitInArea: the window's start and size along it.
void FitAxis(int& AStart, int& ASize, int AAreaStart, int AAreaSize, int AMinSize) {
  ASize = std::min(ASize, std::max(AAreaSize, AMinSize));
  AStart = std::min(AStart, AAreaStart + AAreaSize - ASize);
  AStart = std::max(AStart, AAreaStart);
}
}  // namespace

TRect FitInArea(const TRect& ABounds, const TRect& AArea, int AMinWidth, int AMinHeight) {
  if (AArea.Width() <= 0 || AArea.Height() <= 0) return ABounds;
  int left = ABounds.Left, top = ABounds.Top;
  int width = ABounds.Width(), height = ABounds.Height();
  FitAxis(left, width, AArea.Left, AArea.Width(), AMinWidth);
  FitAxis(top, height, AArea.Top, AArea.Height(), AMinHeight);
  return {left, top, left + width, top + height};
}
