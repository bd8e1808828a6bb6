#include "native/main_window.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include "engine/engine.h"
#include "native/browser_operations.h"
#include "native/browser_window.h"
#include "native/orbit_client_native.h"
#include "native/window_delegate.h"
#include "native/window_geometry.h"
#include "native/window_state.h"

namespace {

QPointer<BrowserWindow> g_main_window;
QWidget* g_popup_parent_window = nullptr;

const char kStartPage[] = "app://lumio/index.html";
const char kFrameAutosaveName[] = "OrbitMainBrowser";

// Centres the default frame on the primary screen's available area. The placement
// is computed with the origin at the bottom left, then turned into Qt's top-left
// coordinates. Before the window is mapped its decorations are unknown, so the
// default size is that of the content.
void PlaceMainWindow(QWidget* window) {
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
  const Rect frame = BottomLeftToTopLeft(DefaultMainWindowFrame(visible), primary_height);
  window->resize(static_cast<int>(frame.width), static_cast<int>(frame.height));
  window->move(static_cast<int>(frame.x), static_cast<int>(frame.y));
}

}  // namespace

void CreateMainWindow() {
  auto client = std::make_shared<OrbitClientNative>();

  engine::BrowserSettings settings;
  settings.universal_access_from_file_urls = true;
  settings.web_security_disabled = true;
  settings.image_shrink_standalone_to_fit = true;

  auto* window = new BrowserWindow();
  window->setWindowTitle(QStringLiteral("Lumio"));
  window->SetFrameAutosaveName(QString::fromLatin1(kFrameAutosaveName));
  window->setMinimumSize(kMainWindowMinContentWidth, kMainWindowMinContentHeight);
  if (!window->SetFrameUsingName(QString::fromLatin1(kFrameAutosaveName)))
    PlaceMainWindow(window);

  engine::WindowInfo window_info;
  window_info.parent_view = window;
  window_info.width = window->width();
  window_info.height = window->height();
  window_info.hidden = true;

  g_main_window = window;

  // Never shown: new popup browsers are created inside it, then moved to windows
  // of their own.
  g_popup_parent_window = new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint);
  g_popup_parent_window->resize(1, 1);

  std::shared_ptr<engine::Browser> browser =
      engine::CreateBrowserSync(window_info, client, kStartPage, settings);

  MainWindowStateTrackerInstance().Reset();
  ResetCloseAllFlag();

  // Owned by the window; lives until the window really closes.
  new OBMainWindowDelegate(window, browser);
  window->setWindowOpacity(1.0);
}

BrowserWindow* GetMainWindow() {
  return g_main_window.data();
}

QWidget* GetPopupParentWindow() {
  return g_popup_parent_window;
}

MainWindowStateTracker& MainWindowStateTrackerInstance() {
  static MainWindowStateTracker tracker;
  return tracker;
}
