#pragma once

#include "widgets/Control.h"

// Resizes the sibling right before it along its alignment while dragged with
// the left button, live, asking OnCanResize about every proposed size.
class TSplitter : public TGraphicControl {
 public:
  // What a new splitter has: its thickness, and the least a drag leaves on
  // either side.
  static constexpr int DefaultThickness = 3;
  static constexpr int DefaultMinSize = 30;

  explicit TSplitter(TComponent* AOwner);

  int MinSize() const { return FMinSize; }
  void SetMinSize(int AValue) { FMinSize = AValue; }

  TCanResizeEvent OnCanResize;
  // Raised after each size the splitter applied to the control it resizes.
  TNotifyEvent OnMoved;

  // The control a drag resizes, or null: the one whose far edge touches ours.
  TControl* FindResizedControl() const;

  // Layer internals, driven by the peer's mouse events (global coordinates).
  void BeginDrag(int AGlobalX, int AGlobalY);
  void DragTo(int AGlobalX, int AGlobalY);
  void EndDrag();

  // Moves the splitter by ADelta pixels along its axis exactly as a drag by
  // that much would: same limits, same OnCanResize and OnMoved.
  void MoveBy(int ADelta);

  // Where the splitter stands: the size of the control it resizes, and the
  // least and most a drag can give that control now (all 0 while it resizes
  // nothing). Assistive technology reads these as the splitter's value.
  int Position() const;
  int MinPosition() const;
  int MaxPosition() const;
  // Moves the splitter so the control it resizes gets APosition, within the
  // limits, exactly as a drag there would.
  void SetPosition(int APosition);

  // Layer internals: its face, the mouse input its parent hands it.
  void Paint(QPainter* APainter) override;
  bool PaintsOpaque() const override { return true; }
  void MouseDown(QMouseEvent* AEvent, int X, int Y) override;
  void MouseMove(QMouseEvent* AEvent) override;
  void MouseUp(QMouseEvent* AEvent) override;
  void DblClick(QMouseEvent* AEvent, int X, int Y) override;

 protected:
  void AlignChanged() override;

 private:
  bool Vertical() const { return Align() == alTop || Align() == alBottom; }
  int SizeOf(const TControl* AControl) const {
    return Vertical() ? AControl->Height() : AControl->Width();
  }
  // The most a drag may give AResized: MinSize stays for whatever fills the
  // rest of the parent.
  int MaxSizeOf(const TControl* AResized) const;

  int FMinSize = DefaultMinSize;
  TAlign FLastAlign = alLeft;
  TControl* FDragControl = nullptr;
  int FDownPos = 0;
  int FStartSize = 0;
  int FMaxSize = 0;
};
