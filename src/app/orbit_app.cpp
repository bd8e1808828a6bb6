#include "app/orbit_app.h"

#include "lumio_protocol.h"

void OrbitApp::OnBeforeCommandLineProcessing(const std::string& process_type,
                                             engine::CommandLine& command_line) {
  command_line.AppendSwitch("disable-extensions");
  command_line.AppendSwitch("disable-scroll-bounce");
}

void OrbitApp::OnRegisterCustomSchemes(engine::SchemeRegistrar& registrar) {
  registrar.AddCustomScheme(protocol::kAppScheme, /*is_standard=*/true, /*is_local=*/true,
                            /*is_display_isolated=*/false, /*is_fetch_enabled=*/true);
}

std::shared_ptr<engine::BrowserProcessHandler> OrbitApp::GetBrowserProcessHandler() {
  return shared_from_this();
}

void OrbitApp::OnContextInitialized() {
  if (context_initialized_)
    context_initialized_();
}
