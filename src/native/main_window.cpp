#include "native/main_window.h"

#include "native/native_view.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <string>

#include "engine/engine.h"
#include "lumio_protocol.h"
#include "native/browser_window.h"
#include "native/window_geometry.h"
#include "native/window_state.h"
#include "native/x11_frame_extents.h"

namespace {

const char kStartPagePath[] = "/index.html";
const char kFrameAutosaveName[] = "OrbitMainBrowser";

// How long the first show may wait for the window manager to tell the size of its
// frame. It answers within a few milliseconds when it answers at all.
constexpr int kFrameExtentsTimeoutMs = 200;

// Centres the default frame on the primary screen's available area. The placement
// is computed with the origin at the bottom left, then turned into Qt's top-left
// coordinates.
void PlaceMainWindow(QWidget* window, const FrameExtents& extents) {
  Rect visible{0, 0, 0, 0};
  double primary_height = 0;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    primary_height = screen->geometry().height();
    visible =
        TopLeftToBottomLeft(Rect{double(available.x()), double(available.y()),
                                 double(available.width()), double(available.height())},
                            primary_height);
  }
  const Rect frame = DefaultMainWindowFrame(visible, extents);
  const Rect content =
      BottomLeftToTopLeft(ContentRectForFrame(frame, extents), primary_height);
  // Qt's geometry is that of the content; the window manager adds its frame
  // around it.
  window->setGeometry(static_cast<int>(content.x), static_cast<int>(content.y),
                      static_cast<int>(content.width), static_cast<int>(content.height));
}

// The frame the window manager will draw around |window|; none when it cannot
// tell (another platform, no window manager, or one that does not say).
FrameExtents WindowManagerFrameExtents(QWidget* window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11)
    return {};
  X11FrameExtents x11_extents;
  if (!X11QueryFrameExtents(x11->display(), static_cast<unsigned long>(window->winId()),
                            kFrameExtentsTimeoutMs, &x11_extents)) {
    return {};
  }
  return {double(x11_extents.left), double(x11_extents.right), double(x11_extents.top),
          double(x11_extents.bottom)};
}

}  // namespace

MainWindow::MainWindow() = default;

MainWindow::~MainWindow() = default;

std::shared_ptr<engine::Browser> MainWindow::Create(
    const std::shared_ptr<engine::Client>& client) {
  engine::BrowserSettings settings;
  settings.universal_access_from_file_urls = true;
  // Web security stays on for every document; the app's own documents call
  // other origins through the program (engine/qt/qt_program_request.h).

  auto* window = new BrowserWindow();
  // The program's name until the page sets a title.
  window->setWindowTitle(QGuiApplication::applicationDisplayName());
  window->SetFrameAutosaveName(QString::fromLatin1(kFrameAutosaveName));
  window->setMinimumSize(kMainWindowMinContentWidth, kMainWindowMinContentHeight);
  // Without a saved place, the window is placed as if undecorated for now, so
  // that the browser starts at about its size, and again at its first show.
  default_place_pending_ =
      !window->SetFrameUsingName(QString::fromLatin1(kFrameAutosaveName));
  if (default_place_pending_)
    PlaceMainWindow(window, FrameExtents{});

  engine::WindowInfo window_info;
  window_info.parent_view = ToNativeView(window);
  window_info.width = window->width();
  window_info.height = window->height();

  window_ = window;

  // Never shown: new popup browsers are created inside it, then moved to windows
  // of their own.
  popup_parent_ =
      std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
  popup_parent_->resize(1, 1);

  std::shared_ptr<engine::Browser> browser = engine::CreateBrowserSync(
      window_info, client,
      start_url_.empty() ? std::string(protocol::kAppOrigin) + kStartPagePath
                         : start_url_,
      settings);

  state_tracker_.Reset();
  window->setWindowOpacity(1.0);
  return browser;
}

BrowserWindow* MainWindow::window() const {
  return window_.data();
}

void MainWindow::PlaceBeforeFirstShow() {
  if (!default_place_pending_ || !window_)
    return;
  default_place_pending_ = false;
  PlaceMainWindow(window_, WindowManagerFrameExtents(window_));
}
