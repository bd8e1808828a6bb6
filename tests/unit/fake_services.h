// Native services for the bridge commands that record every call instead of
// acting: shared by the command tests and the bridge fuzzer.
#ifndef TESTS_UNIT_FAKE_SERVICES_H_
#define TESTS_UNIT_FAKE_SERVICES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bridge/bridge_services.h"
#include "fakes.h"

// Records every call, in order, as "Service.Method(arguments)".
class FakeServices : public WindowService,
                     public AppService,
                     public TrayService,
                     public OsService,
                     public PopupService {
 public:
  std::vector<std::string> calls;
  MainWindowState state = kMainWindowStateVisible;
  std::string computer_name = "workstation";
  int64_t idle_ms = 0;
  bool registered = false;
  // What registering and unregistering report.
  bool register_succeeds = true;
  bool unregister_succeeds = true;

  void Show() override { Log("Window.Show"); }
  void Hide() override { Log("Window.Hide"); }
  void Minimize() override { Log("Window.Minimize"); }
  void Flash() override { Log("Window.Flash"); }
  void Unflash() override { Log("Window.Unflash"); }
  void SetTopmost(bool enabled) override {
    Log("Window.SetTopmost(" + Bool(enabled) + ")");
  }
  void SetAlpha(int value) override {
    Log("Window.SetAlpha(" + std::to_string(value) + ")");
  }
  MainWindowState GetState() override {
    Log("Window.GetState");
    return state;
  }
  void Quit() override { Log("App.Quit"); }
  void QuitNow() override { Log("App.QuitNow"); }
  void Initialized() override { Log("App.Initialized"); }
  void Notify(const std::string& title,
              const std::string& text,
              int32_t unread) override {
    Log("Tray.Notify(" + title + "|" + text + "|" + std::to_string(unread) + ")");
  }
  void UpdateMenu(const std::vector<TrayMenuItem>& items) override {
    std::string text;
    for (const TrayMenuItem& item : items)
      text += "[" + std::to_string(item.id) + "|" + item.label + "|" +
              Bool(item.enabled) + "]";
    Log("Tray.UpdateMenu(" + text + ")");
  }
  void ClearBadge() override { Log("Tray.ClearBadge"); }
  void RemoveDeliveredNotifications() override {
    Log("Tray.RemoveDeliveredNotifications");
  }
  std::string GetComputerName() override {
    Log("Os.GetComputerName");
    return computer_name;
  }
  void OpenExternalBrowser(const std::string& url) override {
    Log("Os.OpenExternalBrowser(" + url + ")");
  }
  int64_t GetUserIdleTime() override {
    Log("Os.GetUserIdleTime");
    return idle_ms;
  }
  bool IsStartupAppRegistered() override {
    Log("Os.IsStartupAppRegistered");
    return registered;
  }
  bool RegisterStartupApp() override {
    Log("Os.RegisterStartupApp");
    return register_succeeds;
  }
  bool UnregisterStartupApp() override {
    Log("Os.UnregisterStartupApp");
    return unregister_succeeds;
  }
  void Prepare(const std::string& name,
               const std::vector<std::string>& features) override {
    std::string text = name + ":";
    for (const std::string& feature : features)
      text += "[" + feature + "]";
    Log("Popup.Prepare(" + text + ")");
  }

 private:
  static std::string Bool(bool value) { return value ? "true" : "false"; }
  void Log(const std::string& call) {
    calls.push_back(call);
    FakeCallLog().push_back(call);
  }
};

// Every service of the command table answered by |fake|; the commands' page
// events go to |page_events|.
inline BridgeServices AllServices(const std::shared_ptr<FakeServices>& fake,
                                  PageEventSink* page_events) {
  BridgeServices services;
  services.page_events = page_events;
  services.window = fake;
  services.app = fake;
  services.tray = fake;
  services.os = fake;
  services.popup = fake;
  return services;
}

#endif  // TESTS_UNIT_FAKE_SERVICES_H_
