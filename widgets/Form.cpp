#include "widgets/Form.h"

#include <QCloseEvent>
#include <cctype>
#include <QMoveEvent>
#include <QResizeEvent>

#include "widgets/Application.h"
#include "widgets/Exception.h"
#include "widgets/FormStream.h"
#include "widgets/Resources.h"
#include "widgets/Peer.h"

namespace {
class TFormPeer : public TPlainPeer {
 public:
  explicit TFormPeer(TForm* AForm) : TPlainPeer(AForm, true) {}

 protected:
  // Qt fills a window's background (the form's colour) before it paints.
  void PaintFace(QPainter& /*APainter*/, QPaintEvent* /*AEvent*/) override {}
  TForm* Form() const { return static_cast<TForm*>(FControl); }
  void resizeEvent(QResizeEvent* AEvent) override {
    const QSize size = AEvent->size();
    Dispatch([&] { Form()->PeerResized(size.width(), size.height()); });
  }
  void moveEvent(QMoveEvent* AEvent) override {
    // Moved by the user or the window manager: the model learns the place,
    // or the next size change would put the window back where it was.
    const QPoint pos = AEvent->pos();
    Dispatch([&] { Form()->PeerMoved(pos.x(), pos.y()); });
  }
  void closeEvent(QCloseEvent* AEvent) override {
    // The model decides; it hides the window itself when it agrees.
    AEvent->ignore();
    Dispatch([&] { Form()->PeerCloseRequest(); });
  }
};
}  // namespace

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
  if (Application != nullptr) Application->FormDestroyed(this);
}

TRect TForm::ClientRect() const {
  return {0, 0, std::max(0, Width() - FrameWidth), std::max(0, Height() - FrameHeight)};
}

void TForm::SetConstraints(int AMinWidth, int AMinHeight) {
  FMinWidth = AMinWidth;
  FMinHeight = AMinHeight;
  Peer()->setMinimumSize(std::max(0, AMinWidth - FrameWidth), std::max(0, AMinHeight - FrameHeight));
  SetBounds(Left(), Top(), std::max(Width(), AMinWidth), std::max(Height(), AMinHeight));
}

void TForm::Show() {
  SetVisible(true);
}

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

void TForm::PeerResized(int AClientWidth, int AClientHeight) {
  SetBounds(Left(), Top(), AClientWidth + FrameWidth, AClientHeight + FrameHeight);
}

void TForm::PeerMoved(int ALeft, int ATop) { SetBounds(ALeft, ATop, Width(), Height()); }

void TForm::PeerCloseRequest() { Close(); }

void TForm::TextChanged() { Peer()->setWindowTitle(QString::fromStdString(Text())); }

void TForm::PushPeerState() {
  const TRect client = ClientRect();
  Peer()->move(Left(), Top());
  Peer()->resize(client.Width(), client.Height());
}

void TForm::UpdatePeerVisibility() {
  if (Visible()) SyncPeers();
  Peer()->setVisible(Visible());
}
