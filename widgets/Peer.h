#pragma once
// Layer internals shared by the control implementations: Qt conversions and
// the safe dispatch of events from Qt into the component model. Not for app/.

#include <QColor>
#include <QMouseEvent>
#include <QRegion>
#include <QWidget>
#include <exception>
#include <vector>

#include "widgets/Control.h"

QColor ToQColor(TColor AColor);

class QKeySequence;
// A shortcut (see Action.h) as Qt's keys.
QKeySequence ToKeySequence(unsigned AShortCut);
// A Qt key as a key code of ours (see Action.h), or 0 for keys without one.
unsigned KeyCodeOf(int AQtKey);

// The direct child of AParent of class T, or null. For our widget classes,
// which have no meta-object of their own: findChild would take any child of
// their Qt base class for one of them.
template <class T>
T* ChildOfClass(const QObject* AParent) {
  for (QObject* child : AParent->children())
    if (auto* found = dynamic_cast<T*>(child)) return found;
  return nullptr;
}

// AWidget's text at APercent of the program's usual size (see
// ReadingSizes).
void ScaleFont(QWidget* AWidget, int APercent);

// Opens AOwn, an editor's or grid's own context menu, at AGlobal, with the
// menu of AControl's scope (see PopupMenuFor) as its submenu; AOwn goes
// once it closes.
class QMenu;
void PopupWithScope(QMenu* AOwn, const TControl* AControl, QPoint AGlobal);

// Reports an exception that escaped an event handler; defined by the
// application object.
void ReportHandlerException(const std::exception* AError);

// True while the running peer sync has resized AControl's peer (Qt then
// repaints all of it).
bool PeerResizedBySync(const TControl* AControl);

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

// Qt hands the keyboard focus of a widget that hides or is re-parented to
// the next one in the tab chain; this moves it to the window first.
void KeepFocusInWindow(QWidget* APeer);
// The same for a windowless container: neither it nor anything inside it
// holds the keys any more.
void KeepFocusOutOf(TWinControl* AControl);
// The windowless container that holds the keys, or null: its handle has
// the keyboard focus on its behalf.
TWinControl* WindowlessFocus();
// The control whose peer is AWidget, or null.
TControl* ControlOfPeer(const QWidget* AWidget);

// Moves the keyboard to the next (or previous) control in tab order that can
// take it, as Tab would from a control that does not use Tab.
void LeaveForNextInChain(TWinControl* AControl, bool AForward);
// Tab and Shift+Tab in AWindow: the keyboard moves from the control that has
// it to the next (or previous) one in the same order; false if none can
// take it.
bool FocusNextInWindow(TWinControl* AWindow, bool AForward);

// For controls built on ready-made Qt widgets: presses anywhere inside raise
// OnMouseDown, focus coming in raises OnEnter.
void WatchInput(TWinControl* AControl);
// Hands pointer input that reached a stand-in whose place (and geometry)
// AInto has taken to the widget of AInto under the pointer, or to the one
// that took the press while a button is down. The stand-in's press was
// reported to its control already, and is not reported again.
class QEvent;
void HandOnPointer(QWidget* AInto, QEvent* AEvent);

// Where the widgets of controls without a parent wait, hidden: a widget
// created or left without a parent would become a window.
QWidget* Nursery();

// The rectangles of a region band by band (a band: rectangles sharing their
// top and bottom, left to right), so that what lies within a rectangle is
// found without walking all of them: the repaint of a window holding a
// thousand editors is cut into thousands of rectangles. Holds on to the
// region's rectangles: the region must outlive it, unchanged.
class TRegionBands {
 public:
  explicit TRegionBands(const QRegion& ARegion);
  // The part of the region within ARect.
  QRegion Within(const QRect& ARect) const;

 private:
  struct TBand {
    int Top, Bottom;
    const QRect *First, *Last;
  };
  std::vector<TBand> FBands;
};

// Fills ARegion, a part of APainted (what the running paint event
// reaches), quickly; leaves the painter unclipped.
void FillRegion(QPainter& APainter, const QRegion& ARegion, const QColor& AColor,
                const QRegion& APainted);

// Fills ARect with the opaque AColor, as QPainter::fillRect would: on a
// window's image, straight into its pixels, which for the thousands of small
// rectangles of a frame of panes is several times quicker.
void FillOpaque(QPainter& APainter, const QRect& ARect, const QColor& AColor);
// Draws the opaque AImage with its top left corner at AAt the same way.
class QImage;
void DrawOpaque(QPainter& APainter, QPoint AAt, const QImage& AImage);
// The format of the image APainter paints on straight (see FillOpaque), or
// QImage::Format_Invalid where it does not.
int DirectFormat(const QPainter& APainter);

// The pointer went from AHandle into a widget lying on it: the windowless
// control it rested on there no longer has it.
void PointerLeftWindowless(QWidget* AHandle);

// Shows the cursor a control asks for on a widget.
void SetPeerCursor(QWidget* APeer, TCursor ACursor);

// --- Assistive technology (Accessible.cpp) ---------------------------------

class QAccessibleEvent;
class QAccessibleInterface;
// What assistive technology sees of a control, windowless ones included.
QAccessibleInterface* AccessibleInterface(TControl* AControl);
// Our interfaces for plain peers (a windowed control's windowless children
// among its children); installed with the first such peer.
void InstallAccessibleFactory();
// True while anyone listens. Every event below costs nothing otherwise,
// which keeps trees of thousands of panes quick.
bool AccessibleListening();
// Every grid still drawn as a picture of itself makes its table.
void WakeSketchedGrids();
// From now on Application->OnAssistiveTechnology is raised when assistive
// technology starts to follow the program.
void WatchAssistiveTechnology();
// AControl has just joined its parent's children / is about to leave them
// (moved or destroyed): assistive technology hears the parent's children
// changed.
void AccessibleChildAdded(TControl* AControl);
void AccessibleChildRemoving(TControl* AControl);
// AControl's ready-made widget is found by assistive technology inside the
// control AControl lies in, even where that control has no widget of its own.
void PlaceAccessibleInControl(TWinControl* AControl);
// For windowless controls; Qt tells of its widgets' names itself.
void AccessibleNameChanged(TControl* AControl);
// A splitter moved.
void AccessibleValueChanged(TControl* AControl);
// Tells assistive technology the keyboard is in AWidget: in a table, on its
// current cell.
void AccessibleFocusOnCurrentItem(QWidget* AWidget);
// Tells assistive technology the keyboard is in a windowless container.
void AccessibleFocusOnWindowless(TWinControl* AControl);
// A command (TCommandScope) runs: it tells where the keyboard ends itself.
bool AccessibleCommandRunning();
// A windowless control goes: so does what assistive technology held of it.
void ForgetWindowlessAccessible(TControl* AControl);
// Tests on a platform without assistive technology (offscreen) see the
// events the layer raises through this; null stops it.
using TAccessibleEventSink = void (*)(QAccessibleEvent* AEvent);
void SetAccessibleEventSink(TAccessibleEventSink ASink);

// The Qt widget of a windowed control that has no ready-made widget behind
// it. It draws the control's windowless children over its own face, in
// z-order, and hands them the mouse input, cursor and tooltip where they lie;
// input elsewhere is reported for the control itself.
class TPlainPeer : public QWidget {
 public:
  // A window of its own when AWindow, else a child widget from the start
  // (a widget that was ever a window keeps a window's bookkeeping).
  explicit TPlainPeer(TWinControl* AControl, bool AWindow = false);

  TWinControl* Control() const { return FControl; }
  // The innermost visible windowless control at APos, or null; ALocal gets
  // APos in its coordinates.
  TControl* WindowlessAt(QPoint APos, QPoint* ALocal = nullptr) const;
  // The same where that is not a container.
  TGraphicControl* GraphicAt(QPoint APos) const;

 protected:
  // Paints the control's own face, below its windowless children: by
  // default its colour wherever the repaint reaches.
  virtual void PaintFace(QPainter& APainter, QPaintEvent* AEvent);
  // What of ARegion the windowless children do not paint over.
  QRegion VisibleFace(const QRegion& ARegion) const;
  // Fills AFill, a part of APainted, with the control's colour.
  void FillFace(QPainter& APainter, const QRegion& AFill, const QRegion& APainted) const;

  void paintEvent(QPaintEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;
  void mouseDoubleClickEvent(QMouseEvent* AEvent) override;
  void enterEvent(QEnterEvent* AEvent) override;
  // Nothing here looks different with the keyboard: no repaint, which would
  // also wipe what was drawn straight to the screen.
  void focusInEvent(QFocusEvent* /*AEvent*/) override {}
  void focusOutEvent(QFocusEvent* /*AEvent*/) override {}
  void leaveEvent(QEvent* AEvent) override;
  bool event(QEvent* AEvent) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery AQuery) const override;

  TWinControl* FControl;

 private:
  // A press or double-click: to the windowless child under the pointer
  // through AHandler, else reported for the control itself.
  void Press(QMouseEvent* AEvent, void (TGraphicControl::*AHandler)(QMouseEvent*, int, int));
  // The pointer rests at APos: what lies there looks so and sets the cursor.
  void Hover(QPoint APos);
};
