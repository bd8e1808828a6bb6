// The application handler: what every process of the program tells the engine at
// start-up (custom schemes, extra switches), and the browser process's hook for
// when the engine is ready.
#ifndef SRC_ENGINE_APP_H_
#define SRC_ENGINE_APP_H_

#include <memory>
#include <string>

#include "engine/command_line.h"

namespace engine {

class SchemeRegistrar {
 public:
  virtual ~SchemeRegistrar() = default;
  // Must be the same in every process. Returns false when the scheme could not be
  // registered (already registered, or a name the engine reserves).
  // |is_fetch_enabled|: the Fetch API may reach it, where the engine allows that.
  virtual bool AddCustomScheme(const std::string& scheme_name,
                               bool is_standard,
                               bool is_local,
                               bool is_display_isolated,
                               bool is_fetch_enabled) = 0;
};

class BrowserProcessHandler {
 public:
  virtual ~BrowserProcessHandler() = default;
  // The engine is ready: browsers may be created. Browser process, UI thread.
  virtual void OnContextInitialized() {}
};

class App {
 public:
  virtual ~App() = default;
  // |process_type| is empty for the browser process.
  virtual void OnBeforeCommandLineProcessing(const std::string& process_type,
                                             CommandLine& command_line) {}
  virtual void OnRegisterCustomSchemes(SchemeRegistrar& registrar) {}
  virtual std::shared_ptr<BrowserProcessHandler> GetBrowserProcessHandler() {
    return nullptr;
  }
};

}  // namespace engine

#endif  // SRC_ENGINE_APP_H_
