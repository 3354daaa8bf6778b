#pragma once
// Controls keep their own geometry, alignment, caption and visibility; the Qt
// widget behind each one (its peer) mirrors that state. Reads never ask Qt.

#include <memory>
#include <string>
#include <vector>

#include "widgets/Component.h"
#include "widgets/Event.h"

class QMouseEvent;
class QObject;
class QPainter;
class QRect;
class QRegion;
class QWidget;
class TPopupMenu;
class TWinControl;
struct TControlExtra;

class TControl : public TComponent {
 public:
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  void SetParent(TWinControl* AParent);

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign AAlign);

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int AValue) { SetBounds(AValue, FTop, FWidth, FHeight); }
  void SetTop(int AValue) { SetBounds(FLeft, AValue, FWidth, FHeight); }
  void SetWidth(int AValue) { SetBounds(FLeft, FTop, AValue, FHeight); }
  void SetHeight(int AValue) { SetBounds(FLeft, FTop, FWidth, AValue); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }

  // Kept free round the control when its parent aligns it.
  const TMargins& Margins() const;
  void SetMargins(const TMargins& AMargins);

  // The caption, UTF-8.
  std::string Text() const { return GetText(); }
  void SetText(const std::string& AText);

  bool Visible() const { return FVisible; }
  void SetVisible(bool AVisible);

  TColor Color() const { return FColor; }
  void SetColor(TColor AColor);

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor ACursor);

  // The menu a right click, the Menu key or Shift+F10 opens on the control
  // and the controls inside it (see TPopupMenu); null: none of its own.
  TPopupMenu* PopupMenu() const;
  void SetPopupMenu(TPopupMenu* AMenu);
  // Controls placed inside take this font unless they set their own.
  const TFont& Font() const;
  void SetFont(const TFont& AFont);

  // A short help text, shown as a tooltip.
  const std::string& Hint() const;
  void SetHint(const std::string& AHint);
  // What assistive technology announces for the control.
  const std::string& AccessibleName() const { return FAccessibleName; }
  void SetAccessibleName(const std::string& AName);
  const std::string& AccessibleDescription() const;
  void SetAccessibleDescription(const std::string& ADescription);
  // What it is to assistive technology. Controls on ready-made widgets (a
  // button, an editor, a grid) keep the role of their widget.
  TAccessibleRole AccessibleRole() const { return FAccessibleRole; }
  void SetAccessibleRole(TAccessibleRole ARole) { FAccessibleRole = ARole; }

  // Schedules a repaint / repaints at once.
  void Invalidate();
  void Repaint();

  // The Qt widget this control is on, with its geometry brought up to date:
  // its own for a windowed control, its parent's for a windowless one (null
  // while it has no parent).
  QWidget* Handle() const;
  // The control's area in its handle's coordinates.
  TRect HandleRect() const;

  TMouseEvent OnMouseDown;
  TNotifyEvent OnResize;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

  // Layer internals: used by peers and the layout machinery. A windowless
  // control has no peer.
  QWidget* Peer() const { return FPeer; }
  bool IsWindowed() const { return FWindowed; }
  // A TWinControl, windowed or not.
  bool HoldsControls() const { return FContainer; }
  // True while the control would show: it and every windowless control it
  // lies in visible, on a handle.
  bool ShownOnHandle() const;
  // True if its painting covers every pixel of the control (windowless
  // controls only).
  virtual bool PaintsOpaque() const { return false; }
  void PeerMouseDown(TMouseButton AButton, TShiftState AShift, int X, int Y);
  void PeerClick();
  void PeerDblClick();
  virtual void PushPeerState();
  // True while the peer does not show the control's geometry yet.
  virtual bool PeerOutOfDate() const;

 protected:
  TControl(TComponent* AOwner, QWidget* APeer, bool AWindowed);

  virtual std::string GetText() const { return FText; }
  virtual void TextChanged() {}
  // Called after the size changed and the parent finished its pass.
  virtual void SizeChanged();
  virtual void AlignChanged() {}
  virtual void UpdatePeerVisibility();
  void RequestPeerSync();
  // A windowless control: repaints the area of its handle it was last drawn
  // on and the one it covers now.
  void InvalidateOnHandle();
  TRect FDrawnRect;
  bool FDrawn = false;
  bool FRedraw = false;             // to be drawn again, wherever it is
  TWinControl* FDrawnOn = nullptr;  // the handle's control, while FDrawn
  // Takes bounds the peer already has (the window system moved or resized
  // it): the model and the layout follow, and nothing is pushed back.
  void AdoptPeerBounds(int ALeft, int ATop, int AWidth, int AHeight);
  // Puts ANew, a widget of no control yet, where the peer is: its parent,
  // place, mask, stacking, look, visibility and the keyboard. The old peer
  // is hidden and handed back, for the caller to delete once its events
  // are done.
  QWidget* ReplacePeer(QWidget* ANew);

 private:
  friend class TWinControl;
  friend struct TLayoutQueue;
  friend void SyncPeers();
  void ChangeBounds(int ALeft, int ATop, int AWidth, int AHeight, bool APush);

  TWinControl* FParent = nullptr;
  TAlign FAlign = alNone;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  // The size last announced through SizeChanged.
  int FNotifiedWidth = 0;
  int FNotifiedHeight = 0;
  std::string FText;
  bool FVisible = true;
  bool FWindowed = false;
  bool FContainer = false;  // a TWinControl
  TAccessibleRole FAccessibleRole = arDefault;
  std::string FAccessibleName;
  TColor FColor = clBtnFace;
  TCursor FCursor = crDefault;
  // What few controls set (margins, font, hint, description), kept apart so
  // the many that do not carry none of it.
  std::unique_ptr<TControlExtra> FExtra;
  TControlExtra& Extra();
  QWidget* FPeer = nullptr;
  int FSyncSlot = -1;          // index in the pending peer-sync list, or -1
  unsigned FResizedRound = 0;  // the peer sync that last resized the peer
  friend bool PeerResizedBySync(const TControl* AControl);
  // A windowed control inside a windowless one: its place in the list of
  // such controls, whose peers follow the windowless controls they lie in.
  int FFlatSlot = -1;
  void UpdateFlatSlot();
  friend struct TFlatPeers;
};

// A control with a window of its own: it holds child controls, aligns them and
// destroys those still parented to it when it goes.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int AIndex) const { return FControls.at(static_cast<size_t>(AIndex)); }

  // The area children are aligned in, in this control's coordinates.
  virtual TRect ClientRect() const { return {0, 0, Width(), Height()}; }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }

  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int AValue);
  // Gives the control the keyboard, unless it has it already (in one of its
  // parts, say a grid's cell editor).
  void SetFocus();
  // True while the keyboard focus is on this control or inside it.
  bool Focused() const;
  // Takes the keyboard when the program gives it (SetFocus), though neither
  // a click nor Tab gives it; assistive technology sees it as focusable.
  bool Focusable() const { return FFocusable; }
  void SetFocusable(bool AFocusable) { FFocusable = AFocusable; }

  // Raised when the keyboard focus comes into the control from elsewhere
  // (a click, Tab), not when its window is merely activated again.
  TNotifyEvent OnEnter;

  // Layer internals. Where the client area starts in the peer: below a
  // form's menu bar, which lies outside the client area. Children's peers
  // and windowless children are placed that much lower.
  virtual int PeerClientTop() const { return 0; }
  void PeerEnter();

  // Re-applies the alignment of the children; AControl is the one that
  // changed, which keeps its place ahead of others at equal position.
  void AlignControls(TControl* AControl);

  // Where the client area's top left corner lies on the handle (the nearest
  // windowed control, this one's own peer if it has one), and that control.
  TPoint ClientOrigin() const;
  TWinControl* HandleControl() const;
  // Where on the handle its children can show: a windowless control and
  // every windowless one it lies in cut off what sticks out of them.
  TRect ChildClip() const;
  // A windowless container: its handle draws its face, below its children,
  // through this. AArea is its place on the handle; APainted what the
  // repaint reaches there, in the handle's coordinates.
  virtual void PaintFace(QPainter& APainter, const QRect& AArea, const QRegion& APainted,
                         const QWidget* AHandle);
  // What of APainted within AArea no windowless child paints over.
  QRegion VisibleFace(const QRect& AArea, const QRegion& APainted) const;

 protected:
  TWinControl(TComponent* AOwner, QWidget* APeer);
  // A container without a widget of its own (APeer null): its handle draws
  // it and routes its input; controls with widgets inside it are placed on
  // the handle.
  struct TWindowless {};
  TWinControl(TComponent* AOwner, TWindowless);
  void SizeChanged() override;
  // PeerClientTop changed: every child is placed again.
  void PeerClientMoved();

 private:
  friend class TControl;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  void Restack();
  void UpdateTabChain();

  friend void WatchInput(TWinControl* AControl);
  // The cached result of ClientOrigin, ShownOnHandle and HandleControl,
  // good while no windowless container moved since.
  void UpdatePlace() const;
  mutable unsigned FPlaceRound = 0;
  mutable TPoint FClientOrigin;
  mutable TRect FChildClip;
  mutable bool FShowsChildren = false;
  mutable TWinControl* FHandleControl = nullptr;
  std::vector<TControl*> FControls;
  QObject* FInputWatch = nullptr;  // reports input inside ready-made widgets
  int FTabOrder = -1;
  bool FAligning = false;
  bool FFocusable = false;
};

// A control without a window: its parent draws it, below every windowed
// child, and hands it the mouse input that lands on it.
class TGraphicControl : public TControl {
 public:
  ~TGraphicControl() override;

  // True while the pointer rests on the control.
  bool MouseInside() const;

  // Layer internals, called by the parent's peer. Positions are in this
  // control's coordinates; the painter is translated to it and not clipped:
  // Paint keeps to the control's own area.
  virtual void Paint(QPainter* APainter) = 0;
  virtual void MouseDown(QMouseEvent* AEvent, int X, int Y);
  virtual void MouseMove(QMouseEvent* /*AEvent*/) {}
  virtual void MouseUp(QMouseEvent* /*AEvent*/) {}
  virtual void DblClick(QMouseEvent* AEvent, int X, int Y) { MouseDown(AEvent, X, Y); }

 protected:
  explicit TGraphicControl(TComponent* AOwner);
};

// Brings every Qt peer up to date with its control's geometry and visibility.
// Runs by itself after each event the layer dispatches; call it when reading
// Qt state directly.
void SyncPeers();

// How large an editor's or grid's text is, in percent of the usual size:
// the sizes Ctrl++ and Ctrl+- step through, as a browser's do.
constexpr int ReadingSizes[] = {50, 67, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400};
// The size ASteps sizes larger (smaller, where negative) than APercent, at
// most the last of ReadingSizes (at least the first); 100 for 0 steps.
int StepReadingSize(int APercent, int ASteps);
