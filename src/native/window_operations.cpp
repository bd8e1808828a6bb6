#include "native/window_operations.h"

#include "native/browser_window.h"
#include "native/main_window.h"

void MainWindowShow() {
  BrowserWindow* window = GetMainWindow();
  if (!window)
    return;
  if (window->isMinimized())
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  PlaceMainWindowBeforeFirstShow();
  window->show();
  window->raise();
  window->activateWindow();
}

void MainWindowHide() {
  if (BrowserWindow* window = GetMainWindow())
    window->hide();
}
