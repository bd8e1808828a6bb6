// The desktop side of the one client: keeps the main browser reference, ends the
// message loop when the last browser has closed, hides the main window instead of
// closing it, gives popups their windows, lets no page stay open once the program
// quits, and titles browser windows.
#ifndef SRC_NATIVE_ORBIT_CLIENT_NATIVE_H_
#define SRC_NATIVE_ORBIT_CLIENT_NATIVE_H_

#include <functional>
#include <memory>

#include "client/orbit_client.h"

class Browsers;
class DesktopNotifications;
class ExternalOpener;
class MainWindow;
class PreparedPopups;

// What the client acts on besides the engine's objects. The program's Shell owns
// all of it, and all of it outlives the engine.
struct ClientParts {
  const BridgeCommandTable& commands;
  // May be null: events are dropped.
  PageEventSink* page_events;
  PreparedPopups& popups;
  Browsers& browsers;
  ExternalOpener& opener;
  // The user asks for the program again (a click on a page's notification).
  std::function<void()> reopen;
};

class OrbitClientNative : public OrbitClient {
 public:
  // |main_window| must outlive the engine, as the parts.
  OrbitClientNative(const ClientParts& parts, MainWindow& main_window);
  ~OrbitClientNative() override;

  // LifeSpanHandler
  // Popups get the window their prepared keywords describe; anything else the
  // page opens in a new window goes to the desktop's browser.
  bool OnBeforePopup(const std::shared_ptr<engine::Browser>& browser,
                     const std::shared_ptr<engine::Frame>& frame,
                     const std::string& target_url,
                     const std::string& target_frame_name,
                     engine::WindowOpenDisposition disposition,
                     bool user_gesture,
                     const engine::PopupFeatures& features,
                     engine::WindowInfo& window_info) override;
  // Moves a new popup out of the hidden popup parent into a window of its own.
  void OnAfterCreated(const std::shared_ptr<engine::Browser>& browser) override;
  bool DoClose(const std::shared_ptr<engine::Browser>& browser) override;

  // DisplayHandler
  void OnTitleChange(const std::shared_ptr<engine::Browser>& browser,
                     const std::string& title) override;

  // PermissionHandler
  // The app's notifications go to the desktop's server; a click reopens the main
  // window and tells the page, and the page's close() withdraws it.
  bool OnShowNotification(
      const std::shared_ptr<engine::Notification>& notification) override;

  // JSDialogHandler
  bool OnBeforeUnloadDialog(const std::shared_ptr<engine::Browser>& browser,
                            bool& leave) override;

 protected:
  void OnFirstBrowserCreated(const std::shared_ptr<engine::Browser>& browser) override;
  void OnLastBrowserClosed() override;
  void AskPermission(const std::shared_ptr<engine::Browser>& browser,
                     const std::string& origin,
                     engine::Permission permission,
                     std::function<void(bool)> answer) override;

 private:
  PreparedPopups& popups_;
  Browsers& browsers_;
  ExternalOpener& opener_;
  MainWindow& main_window_;
  std::unique_ptr<DesktopNotifications> notifications_;
};

#endif  // SRC_NATIVE_ORBIT_CLIENT_NATIVE_H_
