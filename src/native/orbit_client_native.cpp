#include "native/orbit_client_native.h"

#include <QGuiApplication>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include "bridge/bridge_router.h"
#include "engine/engine.h"
#include "native/browser_operations.h"
#include "native/browser_window.h"
#include "native/desktop_notifications.h"
#include "native/main_window.h"
#include "native/native_view.h"
#include "native/os_services.h"
#include "native/permission_prompt.h"
#include "native/prepared_popups.h"
#include "native/session_notes.h"
#include "native/window_delegate.h"
#include "native/window_geometry.h"

namespace {

QWidget* WindowOf(const std::shared_ptr<engine::Browser>& browser) {
  auto* view = ToWidget(browser->GetHost()->GetWindowHandle());
  return view ? view->window() : nullptr;
}

double PrimaryScreenHeight() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().height() : 0;
}

Rect ToBottomLeft(const QRect& r) {
  return TopLeftToBottomLeft(
      Rect{double(r.x()), double(r.y()), double(r.width()), double(r.height())},
      PrimaryScreenHeight());
}

Qt::WindowFlags FlagsForStyle(uint32_t style_mask) {
  if (style_mask == kStyleBorderless)
    return Qt::Window | Qt::FramelessWindowHint;
  if (style_mask == kStyleFixed) {
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
           Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint;
  }
  return Qt::Window;
}

// The name windows have until their page has a title of its own.
QString UntitledWindowName() {
  return QStringLiteral("Lumio");
}

// The engine gives a page without a title its address as one, at times without
// the scheme or the last slash; a window named by an address is noise to a
// screen reader.
bool IsAddress(const std::string& title, std::string url) {
  if (title.empty() || title == url)
    return true;
  const size_t scheme_end = url.find("://");
  if (scheme_end != std::string::npos)
    url.erase(0, scheme_end + 3);
  while (!url.empty() && url.back() == '/')
    url.pop_back();
  return title == url || title == url + "/";
}

}  // namespace

OrbitClientNative::OrbitClientNative(const ClientParts& parts, MainWindow& main_window)
    : OrbitClient(parts.commands, parts.page_events),
      popups_(parts.popups),
      browsers_(parts.browsers),
      opener_(parts.opener),
      main_window_(main_window),
      notifications_(std::make_unique<DesktopNotifications>(
          parts.reopen ? parts.reopen : std::function<void()>([] {}))) {}

OrbitClientNative::~OrbitClientNative() = default;

bool OrbitClientNative::OnShowNotification(
    const std::shared_ptr<engine::Notification>& notification) {
  if (DecidePermission(engine::Permission::kNotifications, notification->GetOrigin(),
                       false) != PermissionAnswer::kGrant)
    return false;
  const uint64_t ticket = notifications_->Notify(
      ToQString(notification->GetTitle()), ToQString(notification->GetBody()),
      {[notification] { notification->OnClicked(); },
       [notification] { notification->OnClosed(); }});
  // The notifications may go first, at shutdown.
  QPointer<DesktopNotifications> desktop(notifications_.get());
  notification->SetWithdrawnHandler([desktop, ticket] {
    if (desktop)
      desktop->Withdraw(ticket);
  });
  return true;
}

void OrbitClientNative::AskPermission(const std::shared_ptr<engine::Browser>& browser,
                                      const std::string& origin,
                                      engine::Permission permission,
                                      std::function<void(bool)> answer) {
  AskUserPermission(WindowOf(browser), permission, std::move(answer));
}

bool OrbitClientNative::OnBeforePopup(const std::shared_ptr<engine::Browser>& browser,
                                      const std::shared_ptr<engine::Frame>& frame,
                                      const std::string& target_url,
                                      const std::string& target_frame_name,
                                      engine::WindowOpenDisposition disposition,
                                      bool user_gesture,
                                      const engine::PopupFeatures& features,
                                      engine::WindowInfo& window_info) {
  // A quitting program opens no more windows: the quit closes only those it
  // found. A popup whose address is refused would stay an empty window.
  if (browsers_.closing() || RefusesNavigationTo(target_url))
    return true;
  // The app's own documents open windows and the user's browser as they like; any
  // other document (a page of the web in a frame, or shown in a window) only when
  // the user asked for it, as a browser would let it.
  const bool from_app = IsAppDocument(frame);
  if (!from_app && !user_gesture)
    return true;
  if (disposition != engine::WindowOpenDisposition::kNewPopup) {
    opener_.Open(target_url);
    return true;
  }
  QWidget* opener_window = WindowOf(browser);
  Rect opener;
  Rect visible;
  QScreen* screen = opener_window ? opener_window->screen() : nullptr;
  if (!screen)
    screen = QGuiApplication::primaryScreen();
  if (opener_window)
    opener = ToBottomLeft(opener_window->frameGeometry());
  if (screen)
    visible = ToBottomLeft(screen->availableGeometry());

  // A page that gives no size gets its opener's; one that gives no place is
  // centred on its opener rather than put in a corner of the screen.
  const QRect opener_content =
      opener_window ? opener_window->geometry() : QRect(0, 0, 400, 400);
  const int width =
      features.width_set && features.width > 0 ? features.width : opener_content.width();
  const int height = features.height_set && features.height > 0 ? features.height
                                                                : opener_content.height();
  Rect requested{0, 0, double(width), double(height)};
  if (features.x_set && features.y_set) {
    requested = ToBottomLeft(QRect(features.x, features.y, width, height));
  } else {
    requested.x = opener.x + (opener.width - width) / 2;
    requested.y = opener.y + (opener.height - height) / 2;
  }
  // The windows that the app prepared are the app's alone.
  popups_.PlaceNext(from_app ? target_frame_name : std::string(), requested, opener,
                    visible);

  // The engine makes the popup's view in the hidden popup parent; OnAfterCreated
  // moves it into its own window.
  window_info = engine::WindowInfo();
  window_info.parent_view = ToNativeView(main_window_.popup_parent());
  return false;
}

void OrbitClientNative::OnAfterCreated(const std::shared_ptr<engine::Browser>& browser) {
  auto* view = ToWidget(browser->GetHost()->GetWindowHandle());
  if (view && main_window_.popup_parent() &&
      view->window() == main_window_.popup_parent()) {
    const PopupPlacement placement = popups_.pending();
    if (placement.positioned && OnWaylandPlatform()) {
      SayOnce(
          "on Wayland the compositor places every window: popups prepared with "
          "\"bottomside\" or \"center\" open where it puts them");
    }
    const Rect content = BottomLeftToTopLeft(placement.content, PrimaryScreenHeight());
    // Owned by the window system side until it really closes (its delegate
    // deletes it then).
    auto* window = new KeyableWindow(FlagsForStyle(placement.style_mask));
    window->setWindowTitle(UntitledWindowName());
    const QRect geometry(int(content.x), int(content.y), int(content.width),
                         int(content.height));
    window->setGeometry(geometry);
    if (!(placement.style_mask & 8u))
      window->setFixedSize(geometry.size());
    new OBWindowDelegate(window, browser);
    view->setParent(window);
    window->layout()->addWidget(view);
    view->show();
    window->show();
    window->raise();
    window->activateWindow();
  }
  OrbitClient::OnAfterCreated(browser);
  // Whatever comes into being after the quit closed every browser closes too.
  if (browsers_.closing())
    browser->GetHost()->CloseBrowser(false);
}

bool OrbitClientNative::DoClose(const std::shared_ptr<engine::Browser>& browser) {
  std::shared_ptr<engine::Browser> main_browser = browsers_.main_browser();
  if (!browsers_.closing() && main_browser && main_browser->IsSame(browser)) {
    // The main window's close button only hides it; the page lives on.
    if (BrowserWindow* window = main_window_.window())
      window->hide();
    return true;
  }
  if (OBWindowDelegate* delegate = OBWindowDelegate::ForWindow(WindowOf(browser)))
    delegate->setClosing(true);
  return false;
}

void OrbitClientNative::OnTitleChange(const std::shared_ptr<engine::Browser>& browser,
                                      const std::string& title) {
  QWidget* window = WindowOf(browser);
  if (!window || window == main_window_.popup_parent())
    return;
  std::shared_ptr<engine::Frame> frame = browser->GetMainFrame();
  window->setWindowTitle(frame && IsAddress(title, frame->GetURL()) ? UntitledWindowName()
                                                                    : ToQString(title));
}

bool OrbitClientNative::OnBeforeUnloadDialog(
    const std::shared_ptr<engine::Browser>& browser,
    bool& leave) {
  // A quit is not called off: a page that asks to stay would otherwise keep a
  // hidden program alive that no further quit can end. The page had its grace
  // period to save its work.
  if (!browsers_.closing())
    return false;
  leave = true;
  return true;
}

void OrbitClientNative::OnFirstBrowserCreated(
    const std::shared_ptr<engine::Browser>& browser) {
  browsers_.set_main_browser(browser, this);
}

void OrbitClientNative::OnLastBrowserClosed() {
  browsers_.set_main_browser(nullptr);
  engine::QuitMessageLoop();
}
