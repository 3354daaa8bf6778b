// The window's own size and state in a workspace: saved with the panes, and
// given back when a workspace opens, so every pane is where it was, to the
// pixel, where the screen has room.
#include "app/Unit1.h"

void TForm1::StoreWindowState(TWorkspace& AWorkspace) const {
  AWorkspace.HasWindow = true;
  // Maximised or full screen, the size it has so: on the same screen that
  // is the size it opens at again.
  AWorkspace.WindowWidth = ClientWidth();
  AWorkspace.WindowHeight = ClientHeight();
  AWorkspace.WindowState = WindowState();
}

void TForm1::RestoreWindowState(const TWorkspace& AWorkspace) {
  // A workspace that does not say leaves the window as it is.
  if (!AWorkspace.HasWindow) return;
  SetWindowState(wsNormal);
  SetClientSize(AWorkspace.WindowWidth, AWorkspace.WindowHeight);
  // Where the screen has no room for it, the nearest fit, as at start.
  if (Visible()) FitOnScreen();
  SetWindowState(AWorkspace.WindowState);
}
