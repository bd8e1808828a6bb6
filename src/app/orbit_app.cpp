#include "app/orbit_app.h"

#include "app/app_quit.h"
#include "bridge/bridge_commands.h"
#include "bridge/bridge_services.h"
#include "native/main_window.h"
#include "native/tray_icon.h"

void OrbitApp::OnBeforeCommandLineProcessing(const std::string& process_type,
                                             engine::CommandLine& command_line) {
  command_line.AppendSwitch("disable-extensions");
  command_line.AppendSwitch("disable-scroll-bounce");
}

void OrbitApp::OnRegisterCustomSchemes(engine::SchemeRegistrar& registrar) {
  registrar.AddCustomScheme("app", /*is_standard=*/true, /*is_local=*/true,
                            /*is_display_isolated=*/false);
}

std::shared_ptr<engine::BrowserProcessHandler> OrbitApp::GetBrowserProcessHandler() {
  return shared_from_this();
}

void OrbitApp::OnContextInitialized() {
  TrayIconListenerCreate(&AppReopen);
  // The main window exists before the first bridge command can be registered,
  // and the page's first query can only arrive once this has returned.
  CreateMainWindow();
  BridgeServices services;
  services.window = WindowService::Create();
  services.app = AppService::Create();
  services.tray = TrayService::Create();
  AppSetTrayService(services.tray);
  services.os = OsService::Create();
  services.popup = PopupService::Create();
  RegisterBridgeCommands(services);
}
