#pragma once

#include <memory>

#include "widgets/Control.h"

struct TFormClassInfo;
class TMainMenu;

// A top-level window. Width and Height are its outer size: a 4-pixel frame
// and a 30-pixel caption bar surround the client area children live in. A
// menu bar lies outside the client area too, but not in these sizes: on the
// screen the window is taller by the bar.
class TForm : public TWinControl {
 public:
  static constexpr int FrameWidth = 8;    // left and right frame together
  static constexpr int FrameHeight = 34;  // caption bar and bottom frame

  // An empty window, for windows built in code.
  static TForm* CreateNew(TComponent* AOwner) { return new TForm(AOwner); }
  ~TForm() override;

  TRect ClientRect() const override;
  // Keeps to the minimum size, as the window does.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SetClientSize(int AWidth, int AHeight) {
    SetBounds(Left(), Top(), AWidth + FrameWidth, AHeight + FrameHeight);
  }
  void SetConstraints(int AMinWidth, int AMinHeight);

  // Normal, maximised or full screen, as the window system has it now.
  TWindowState WindowState() const;
  // Asks the window system for AState; the window's size follows once it
  // has done so (at once for a hidden window when it shows).
  void SetWindowState(TWindowState AState);
  // Moves and shrinks the window as little as it takes to lie wholly on its
  // screen (see FitInArea), as it does when it first shows.
  void FitOnScreen();
  int MinWidth() const { return FMinWidth; }
  int MinHeight() const { return FMinHeight; }

  // The bar of menus above the client area (see Menu.h), or null. The
  // client area keeps its size; the window grows by the bar's height.
  TMainMenu* Menu() const { return FMenu; }
  void SetMenu(TMainMenu* AMenu);

  void Show();
  // Asks OnCloseQuery whether the window may close, then OnClose; unless
  // either refuses, hides the window, and closing the main form ends the
  // application's run.
  void Close();

  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;

  // With KeyPreview, OnKeyDown sees every key pressed in the window before
  // the control with the keyboard does (or a shortcut), and may keep it.
  bool KeyPreview() const { return FKeyPreview != nullptr; }
  void SetKeyPreview(bool AValue);
  TKeyEvent OnKeyDown;

  // Layer internals: the window system resized, moved (ALeft, ATop: the
  // outer corner) or wants to close the window. The model takes what the
  // window system chose; only the program's own SetBounds moves the window.
  void PeerResized(int AClientWidth, int AClientHeight);
  void PeerMoved(int ALeft, int ATop);
  void PeerCloseRequest();
  bool PeerOutOfDate() const override;
  int PeerClientTop() const override { return FMenuHeight; }

 protected:
  explicit TForm(TComponent* AOwner);
  // Builds the form's controls from the built-in layout named after its
  // class in capitals ("TFORM1" for TForm1); throws Exception if that fails.
  void InitInheritedComponent(const TFormClassInfo& AInfo);
  void TextChanged() override;
  void PushPeerState() override;
  void UpdatePeerVisibility() override;

 private:
  class TKeyPreview;
  std::unique_ptr<TKeyPreview> FKeyPreview;
  void PlaceMenu();
  TMainMenu* FMenu = nullptr;
  int FMenuHeight = 0;
  int FMinWidth = 0;
  int FMinHeight = 0;
};

// Where a window of ABounds goes to lie wholly in AArea (a screen's free
// area): where it is if it fits there, else moved as little as fits. It
// shrinks only along a side where the area is smaller than the window, and
// never below AMinWidth x AMinHeight; a window that still does not fit keeps
// its top left corner in the area.
TRect FitInArea(const TRect& ABounds, const TRect& AArea, int AMinWidth = 0, int AMinHeight = 0);
