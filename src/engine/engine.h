// Process entry, start-up and the message loop of the engine.
//
// Browser process:   ExecuteProcess (returns -1) -> CreateApplication (the
//                    application object) -> Initialize (calls App's OnContextInitialized,
//                    where windows and browsers are created) ->
//                    RegisterSchemeHandlerFactory -> RunMessageLoop -> Shutdown ->
//                    DestroyApplication.
// Secondary process: ExecuteProcess runs the engine's process and returns its status.
#ifndef SRC_ENGINE_ENGINE_H_
#define SRC_ENGINE_ENGINE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/app.h"
#include "engine/client.h"
#include "engine/scheme.h"

namespace engine {

struct Settings {
  // Switches given on the program's own command line do not reach the engine.
  bool command_line_args_disabled = false;
  // Engine log: true turns it off entirely.
  bool log_disabled = false;
  // User-interface locale, e.g. "en", "zh-CN".
  std::string locale;
  // Product token that replaces the engine's own in the default user agent.
  std::string product_version;
  // Where the engine keeps its cache and persistent data; not created here.
  std::string cache_path;
  // Pages are exposed to assistive technologies (screen readers). Read by
  // CreateApplication and again by Initialize, after which it is fixed: the engine
  // builds each page's accessibility tree only when this is on, at a cost in
  // memory and time for every page.
  bool web_accessibility = false;
  // The program that the engine's other processes run; empty: the engine's own.
  std::string helper_path;
  // Development mode: the app's files are the developer's working copy. Every
  // reload of a page bypasses the caches, nothing of the app's is cached, each
  // window answers a browser's developer keys (F5 and Ctrl+R reload, Shift+F5 and
  // Ctrl+Shift+R too, F12 and Ctrl+Shift+I open the DevTools in a window of their
  // own), and the pages' script errors go to standard error. Without it those
  // keys are the page's.
  bool development = false;
};

// When |argv| names a secondary process ("--type=..."), runs it and returns its exit
// status. Returns -1 in the browser process.
int ExecuteProcess(int argc, char** argv, const std::shared_ptr<App>& app);

// Registers the app's custom schemes, hands the engine its switches and creates
// the application object (a QApplication in the Qt backend), which every window
// and desktop service needs; it lives until DestroyApplication. The engine reads
// its switches from that object's arguments, and custom schemes must be known
// before it exists, so all three happen here. With
// settings.command_line_args_disabled the user's own arguments are left out.
// Returns false, and does nothing, when an application object exists already.
bool CreateApplication(int argc,
                       char** argv,
                       const Settings& settings,
                       const std::shared_ptr<App>& app);
// Destroys the application object; after Shutdown, once nothing uses it.
void DestroyApplication();

// Starts the engine once the application object exists. Calls the app's
// OnContextInitialized before returning.
bool Initialize(const Settings& settings, const std::shared_ptr<App>& app);

// Serves "scheme://domain/..." requests. One factory per scheme and domain.
bool RegisterSchemeHandlerFactory(const std::string& scheme_name,
                                  const std::string& domain_name,
                                  const std::shared_ptr<SchemeHandlerFactory>& factory);

// Creates a browser and starts loading |url|; the client's OnAfterCreated has run
// when this returns.
std::shared_ptr<Browser> CreateBrowserSync(const WindowInfo& window_info,
                                           const std::shared_ptr<Client>& client,
                                           const std::string& url,
                                           const BrowserSettings& settings);

void RunMessageLoop();
void QuitMessageLoop();
void Shutdown();

// Reloads the page of every open browser, bypassing the caches.
void ReloadAllBrowsers();

// Runs |task| on the UI thread after |delay_ms| milliseconds.
void PostDelayedTask(std::function<void()> task, int64_t delay_ms);

// True on the UI (main) thread.
bool CurrentlyOnUIThread();

// What the program runs on, as the libraries loaded at run time report it; needs
// no application object.
struct Versions {
  std::string toolkit;         // the toolkit (Qt) the program runs with
  std::string toolkit_built;   // the toolkit's version the program was built against
  std::string engine;          // the web engine's own release (Qt WebEngine)
  std::string chromium;        // the Chromium the engine is built on
  std::string security_patch;  // the Chromium release its security fixes come up to
};
Versions GetVersions();

}  // namespace engine

#endif  // SRC_ENGINE_ENGINE_H_
