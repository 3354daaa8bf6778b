#pragma once
// Carrying something across a control with the pointer: the user picks it up
// (a drag, Ctrl+Shift and a press, or a command that arms the carry), the
// place under the pointer is washed where it would land, and a release or a
// click puts it down. What a point means is the handlers' business; this
// only tracks the pointer, paints the wash and reports.

#include "widgets/Component.h"
#include "widgets/Event.h"

class QEvent;
class QObject;
class TPointerWatch;
class TWinControl;

using TPointEvent = TMethodEvent<TObject*, int /*X*/, int /*Y*/>;
using TPickUpEvent = TMethodEvent<TObject*, int /*X*/, int /*Y*/, bool& /*Accept*/>;
using TDropTargetEvent = TMethodEvent<TObject*, int /*X*/, int /*Y*/, TRect& /*AWash*/>;

class TPointerMove : public TComponent {
 public:
  explicit TPointerMove(TComponent* AOwner);
  ~TPointerMove() override;

  // The control the pointer moves over; every X, Y below is in its client
  // coordinates. Changing it ends a carry under way, as Cancel does.
  TWinControl* Area() const { return FArea; }
  void SetArea(TWinControl* AArea);

  // A left-button press at X, Y that may start a carry, called from the
  // OnMouseDown of a control inside the area: the carry starts once the
  // pointer, the button still down, has moved the desktop's drag distance.
  // A release before that is only the click it was.
  void Press(int X, int Y);
  // Ctrl+Shift and a left press anywhere in the area, inside an editor or a
  // grid too, starts a carry at once if OnPickUp accepts it; the press is
  // then kept from the control under it. On by default.
  bool ModifierPickUp() const { return FModifierPickUp; }
  void SetModifierPickUp(bool AValue);
  // Starts a carry without a drag: the pointer is followed as it hovers over
  // the area and the next left click there puts it down; a click elsewhere,
  // another button or Escape cancels.
  void Arm();

  // A carry, dragged or armed, is under way.
  bool Active() const { return FState == csCarrying || FState == csArmed; }
  // Ends it without a drop, raising OnCancel.
  void Cancel();
  // The wash over ARect of the area, or none, also without a carry: what
  // the keyboard carries shows the same way.
  void ShowWash(const TRect& AWash);
  void HideWash();

  // Asks whether a Ctrl+Shift press at X, Y picks something up (Accept
  // comes in true). Without a handler nothing is picked up that way.
  TPickUpEvent OnPickUp;
  // The pointer is at X, Y over the area: the handler sets AWash to the
  // rectangle to wash; left empty, nothing can land there.
  TDropTargetEvent OnOver;
  // Released (or clicked, when armed) at X, Y inside the area.
  TPointEvent OnDrop;
  // The carry ended without a drop: Escape, a release or click outside the
  // area, another button, Cancel, the window hidden or left for another.
  // Not raised when the area or this component is destroyed.
  TNotifyEvent OnCancel;

 protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override;

 private:
  friend class TPointerWatch;
  enum TState {
    csIdle,
    csPending,   // a press that may become a drag
    csCarrying,  // the left button is held; its release puts down
    csArmed,     // hovering; the next left press in the area starts the click that puts down
  };

  // Every event of the application while the watch is installed; true eats it.
  bool FilterEvent(QObject* AReceiver, QEvent* AEvent);
  bool FilterMouse(QObject* AReceiver, QEvent* AEvent);
  bool TryPickUp(QObject* AReceiver, QEvent* AEvent);
  void Begin(TState AState);
  // Ends the carry quietly: cursor, wash and watch as they were before it.
  void Finish();
  void Over(int X, int Y);
  void Drop(int X, int Y);
  // False if a handler destroyed this component.
  bool EndWithCancel();
  // Cancels a carry whose area is no longer shown (checked once the event
  // loop is back, since a hidden area may be one being destroyed).
  void CheckAreaShown();
  // Installs the application-wide watch while something needs it.
  void UpdateWatch();
  // Raises an event through ARaise; false if this component went meanwhile.
  template <class F>
  bool Raise(F&& ARaise);

  TWinControl* FArea = nullptr;
  TPointerWatch* FWatch;
  bool FModifierPickUp = true;
  TState FState = csIdle;
  // Counts carries, so a handler that ends one and starts another is noticed.
  unsigned FCarry = 0;
  // Where OnOver was last raised in this carry.
  bool FOverShown = false;
  int FOverX = 0;
  int FOverY = 0;
  int FPressX = 0;
  int FPressY = 0;
  bool FCursorShown = false;
};
