#include "native/window_operations.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include "bridge/bridge_services.h"
#include "native/browser_window.h"
#include "native/main_window.h"
#include "native/session_notes.h"
#include "native/wayland_connection.h"
#include "native/x11_focus.h"
#include "native/x11_window_hints.h"

namespace {

QNativeInterface::QX11Application* X11() {
  return qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                 : nullptr;
}

// Whether |window| has the keyboard focus. Qt keeps its own idea of the focus
// window, which goes stale when a focused window is hidden: shown again and
// focused by the window manager, the window gets no activation event and counts
// as inactive. On X11 the server's answer settles it.
bool HasKeyboardFocus(QWidget* window) {
  if (window->isActiveWindow())
    return true;
  auto* x11 = X11();
  if (!x11 || !window->windowHandle())
    return false;
  return X11WindowHasInputFocus(x11->display(),
                                static_cast<unsigned long>(window->winId()));
}

// Activates |window| or, where that is not this program's to decide, asks the
// compositor to show the user that it wants attention.
void ActivateOrRequestAttention(QWidget* window) {
  // On Wayland Qt asks for activation with the serial of the user's last input
  // to this program, which only counts while one of its windows has the focus.
  if (!OnWaylandPlatform() || QGuiApplication::focusWindow()) {
    window->activateWindow();
    return;
  }
  RequestWaylandAttention(window);
}

}  // namespace

MainWindowService::MainWindowService(MainWindow& main_window)
    : main_window_(main_window) {
  // Like a bouncing dock icon, the request ends once the user comes to the window.
  QObject::connect(qApp, &QGuiApplication::focusWindowChanged, &context_,
                   [this](QWindow* focus) {
                     BrowserWindow* window = main_window_.window();
                     if (attention_ && window && focus && focus == window->windowHandle())
                       SetAttention(false);
                   });
}

void MainWindowService::Show() {
  MainWindowShow(main_window_);
}

void MainWindowService::Hide() {
  MainWindowHide(main_window_);
}

void MainWindowService::Minimize() {
  if (BrowserWindow* window = main_window_.window())
    window->showMinimized();
}

void MainWindowService::Flash() {
  BrowserWindow* window = main_window_.window();
  if (window && !HasKeyboardFocus(window))
    SetAttention(true);
}

void MainWindowService::Unflash() {
  if (attention_)
    SetAttention(false);
}

void MainWindowService::SetTopmost(bool enabled) {
  BrowserWindow* window = main_window_.window();
  if (!window)
    return;
  if (OnWaylandPlatform()) {
    // xdg-shell has no stacking request a client may make.
    SayOnce(
        "on Wayland a window cannot keep itself above others: SetTopmost does nothing");
    return;
  }
  Qt::WindowFlags flags = window->windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, enabled);
  // QWidget::setWindowFlags would hide the window and make it anew; the native
  // window takes the change in place (on X11, as _NET_WM_STATE_ABOVE).
  window->overrideWindowFlags(flags);
  if (QWindow* handle = window->windowHandle())
    handle->setFlags(flags);
}

void MainWindowService::SetAlpha(int value) {
  BrowserWindow* window = main_window_.window();
  if (!window)
    return;
  if (OnWaylandPlatform()) {
    // Qt's Wayland plugin would warn on every call instead.
    SayOnce("on Wayland a window cannot set its own opacity: SetAlpha does nothing");
    return;
  }
  window->setWindowOpacity(value / 255.0);
}

MainWindowState MainWindowService::GetState() {
  return MainWindowGetState(main_window_);
}

void MainWindowService::SetAttention(bool on) {
  BrowserWindow* window = main_window_.window();
  attention_ = on && window;
  if (!window)
    return;
  if (auto* x11 = X11()) {
    X11SetUrgency(x11->display(), static_cast<unsigned long>(window->winId()), on);
  } else if (on && OnWaylandPlatform()) {
    // Qt 6.4's Wayland plugin does nothing for QApplication::alert; the request
    // ends when the compositor next activates the window.
    RequestWaylandAttention(window);
  } else if (on) {
    // Elsewhere only the platform's own request exists, and it ends on activation.
    QApplication::alert(window, 0);
  }
}

void MainWindowShow(MainWindow& main_window) {
  BrowserWindow* window = main_window.window();
  if (!window)
    return;
  if (window->isMinimized())
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  // A hidden window is mapped anew by showing it anyway.
  if (!window->isVisible())
    window->set_minimize_requested(false);
  if (window->minimize_requested() && !window->isActiveWindow()) {
    // The compositor may hold the window minimised (it would not be active then),
    // and xdg-shell has no request that brings it back; a window mapped anew is
    // shown by every compositor. The page hears only where the window ends up.
    window->set_minimize_requested(false);
    window->set_remapping(true);
    window->hide();
    window->show();
    window->set_remapping(false);
  }
  main_window.PlaceBeforeFirstShow();
  window->show();
  window->raise();
  ActivateOrRequestAttention(window);
}

void MainWindowHide(MainWindow& main_window) {
  if (BrowserWindow* window = main_window.window())
    window->hide();
}

MainWindowState MainWindowGetState(MainWindow& main_window) {
  BrowserWindow* window = main_window.window();
  if (!window)
    return kMainWindowStateHidden;
  // A minimised window is out of sight although Qt still counts it visible. On
  // Wayland Qt's minimised state is only a request the compositor may ignore.
  const bool minimized = window->isMinimized() && !OnWaylandPlatform();
  return ComputeMainWindowState(window->isVisible() && !minimized,
                                HasKeyboardFocus(window));
}
