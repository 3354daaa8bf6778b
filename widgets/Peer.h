#pragma once
// Layer internals shared by the control implementations: Qt conversions and
// the safe dispatch of events from Qt into the component model. Not for app/.

#include <QColor>
#include <QMouseEvent>
#include <QWidget>
#include <exception>

#include "widgets/Control.h"

QColor ToQColor(TColor AColor);

// Reports an exception that escaped an event handler; defined by the
// application object.
void ReportHandlerException(const std::exception* AError);

// True while Qt paints; peers must not be moved then.
bool InPaintEvent();

class TPaintScope {
 public:
  TPaintScope();
  ~TPaintScope();
  TPaintScope(const TPaintScope&) = delete;
  TPaintScope& operator=(const TPaintScope&) = delete;
};

// Runs an event handler; an exception it raises is reported, not passed on.
template <class F>
void SafeCall(F&& AHandler) {
  try {
    AHandler();
  } catch (const std::exception& e) {
    ReportHandlerException(&e);
  } catch (...) {
    ReportHandlerException(nullptr);
  }
}

// Runs a model event handler on behalf of Qt: no exception ever crosses Qt's
// event loop, and the peers are brought up to date afterwards.
template <class F>
void Dispatch(F&& AHandler) {
  SafeCall(AHandler);
  SyncPeers();
}

void ForwardMousePress(TControl* AControl, QMouseEvent* AEvent);
// The same with the position already in the control's coordinates.
void ForwardMousePress(TControl* AControl, QMouseEvent* AEvent, QPoint APos);

// For controls built on ready-made Qt widgets: presses anywhere inside raise
// OnMouseDown, focus coming in raises OnEnter.
void WatchInput(TWinControl* AControl);

// A plain Qt widget that reports its mouse presses to its control.
class TPlainPeer : public QWidget {
 public:
  explicit TPlainPeer(TControl* AControl) : FControl(AControl) {}

 protected:
  void mousePressEvent(QMouseEvent* AEvent) override { ForwardMousePress(FControl, AEvent); }
  TControl* FControl;
};
