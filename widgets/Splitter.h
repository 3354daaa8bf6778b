#pragma once

#include "widgets/Control.h"

// Resizes the sibling right before it along its alignment while dragged with
// the left button, live, asking OnCanResize about every proposed size.
class TSplitter : public TGraphicControl {
 public:
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

  int FMinSize = 30;
  TAlign FLastAlign = alLeft;
  TControl* FDragControl = nullptr;
  int FDownPos = 0;
  int FStartSize = 0;
  int FMaxSize = 0;
};
