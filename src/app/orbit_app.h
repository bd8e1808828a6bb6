// The application handler of every process of both programs: the custom scheme
// and the switches that every process gets, and, in the browser process, the
// bring-up of the user interface once the engine is ready.
#ifndef SRC_APP_ORBIT_APP_H_
#define SRC_APP_ORBIT_APP_H_

#include <functional>

#include "engine/app.h"

// The page side of the message router needs no handler here: the engine injects
// it into every frame itself.
class OrbitApp : public engine::App,
                 public engine::BrowserProcessHandler,
                 public std::enable_shared_from_this<OrbitApp> {
 public:
  // What the browser process brings up once the engine's context is ready (the
  // program's Shell); other processes set nothing.
  void SetContextInitializedCallback(std::function<void()> callback) {
    context_initialized_ = std::move(callback);
  }

  // App
  void OnBeforeCommandLineProcessing(const std::string& process_type,
                                     engine::CommandLine& command_line) override;
  void OnRegisterCustomSchemes(engine::SchemeRegistrar& registrar) override;
  std::shared_ptr<engine::BrowserProcessHandler> GetBrowserProcessHandler() override;

  // BrowserProcessHandler
  void OnContextInitialized() override;

 private:
  std::function<void()> context_initialized_;
};

#endif  // SRC_APP_ORBIT_APP_H_
