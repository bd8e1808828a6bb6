#include "app/app_quit.h"

#include <rapidjson/document.h>

#include "bridge/bridge_services.h"
#include "bridge/page_event.h"
#include "engine/engine.h"
#include "native/browser_operations.h"
#include "native/window_operations.h"

namespace {

class QuitService : public AppService {
 public:
  void Quit() override { AppQuit(); }
  void QuitNow() override { CloseAllBrowsers(); }
};

}  // namespace

std::unique_ptr<AppService> AppService::Create() {
  return std::make_unique<QuitService>();
}

void AppQuit() {
  MainWindowHide();
  SendPageEvent("OrbitAppWillQuit", rapidjson::Value(rapidjson::kObjectType));
  engine::PostDelayedTask([] { CloseAllBrowsers(); }, kQuitGracePeriodMs);
}
