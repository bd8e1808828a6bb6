// lumio-app: the program the user starts. Runs the engine's browser process; its
// Shell owns every window and native service, and it lives until the last browser
// has closed.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QMetaObject>

#include "app/app_identity.h"
#include "app/dev_server_url.h"
#include "app/ob_app_delegate.h"
#include "app/ob_application.h"
#include "app/orbit_app.h"
#include "app/shell.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/web_folder_watcher.h"
#include "bridge/bridge_router.h"
#include "client/permission_policy.h"
#include "engine/engine.h"
#include "lumio_protocol.h"
#include "native/accessibility_switches.h"
#include "native/data_paths.h"
#include "native/desktop_accessibility.h"
#include "native/os_services.h"
#include "resources/scheme_handler_factory.h"
#include "resources/web_folder.h"
#include "resources/zip_archive.h"

namespace {

// What --version prints: enough for a bug report to say which engine, and how far
// its security fixes go.
void PrintVersions(const AppIdentity& identity) {
  const engine::Versions v = engine::GetVersions();
  std::printf("%s %s\n", identity.name.c_str(), identity.version.c_str());
  std::printf("Qt %s (built with %s)\n", v.toolkit.c_str(), v.toolkit_built.c_str());
  std::printf("Qt WebEngine %s\n", v.engine.c_str());
  std::printf("Chromium %s\n", v.chromium.c_str());
  std::printf("Chromium security patches up to %s\n", v.security_patch.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  auto app = std::make_shared<OrbitApp>();
  const int exit_code = engine::ExecuteProcess(argc, argv, app);
  if (exit_code >= 0)
    return exit_code;
  if (argc == 2 && std::string(argv[1]) == "--version") {
    PrintVersions(BuiltAppIdentity());
    return 0;
  }

  engine::Settings settings;
  settings.command_line_args_disabled = true;
  settings.log_disabled = true;
  settings.locale = OSGetPreferredLocale();
  settings.product_version = std::string("Lumio-Mac/") + protocol::kVersion;
  const AppIdentity& identity = BuiltAppIdentity();
  settings.cache_path = EngineCachePath(
      UserDataHome(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")), identity.folder);
  settings.helper_path = InstalledHelperPath();
  // The user's own switches count from the start; the desktop is asked once the
  // application object can reach its bus.
  settings.web_accessibility =
      AccessibilityFromEnvironment(std::getenv) == AccessibilityRequest::kOn;

  // The one switch of the program's own: forgets the user's answers to permission
  // prompts (with Lumio not running, which would keep them).
  if (argc == 2 && std::string(argv[1]) == "--reset-permissions") {
    if (settings.cache_path.empty() ||
        !PermissionMemory(PermissionMemoryPath(settings.cache_path)).Reset()) {
      std::fprintf(stderr,
                   "lumio-app: the answers to permission prompts could not be "
                   "removed\n");
      return 1;
    }
    return 0;
  }

  // LUMIO_WEB_DIR names a folder to serve instead of the pack, read afresh on
  // every request: development mode.
  const char* web_dir = std::getenv("LUMIO_WEB_DIR");
  if (web_dir && !*web_dir)
    web_dir = nullptr;
  // LUMIO_DEV_URL names a developer's own server on this machine to show instead,
  // whose origin the bridge then answers in place of the app's.
  const char* dev_url_text = std::getenv("LUMIO_DEV_URL");
  DevServerUrl dev_url;
  if (dev_url_text && *dev_url_text) {
    std::string error;
    if (!ParseDevServerUrl(dev_url_text, dev_url, error)) {
      std::fprintf(stderr, "lumio-app: refusing LUMIO_DEV_URL=%s: %s\n", dev_url_text,
                   error.c_str());
      return 2;
    }
    if (web_dir) {
      std::fprintf(stderr,
                   "lumio-app: LUMIO_DEV_URL and LUMIO_WEB_DIR are both set; "
                   "give one of them\n");
      return 2;
    }
  }
  settings.development = web_dir != nullptr || !dev_url.url.empty();

  engine::CreateApplication(argc, argv, settings, app);
  // Whatever way main returns, the application object goes last, while Qt is
  // still whole.
  struct ApplicationEnd {
    ~ApplicationEnd() { engine::DestroyApplication(); }
  } application_end;
  auto application = std::make_unique<OBApplication>(identity);
  // Made once the engine may start; until then nothing asks for it (every request
  // comes through the message loop).
  std::unique_ptr<Shell> shell;
  // A request that comes after the Shell has gone finds the program ended, as the
  // Shell's last state says.
  OBAppDelegate delegate(
      [&shell] {
        if (shell)
          shell->Quit();
      },
      [&shell] {
        if (shell)
          shell->Reopen();
      });

  // Before the engine starts: a second lumio-app must never touch the cache of
  // the first.
  auto instance = std::make_unique<SingleInstance>(
      QString::fromStdString(settings.cache_path), identity);
  switch (instance->ClaimOrHandOver(
      [&shell] { return !shell || shell->IsQuitting(); },
      [&delegate] { delegate.applicationShouldHandleReopen(); })) {
    case SingleInstance::Claim::kFirst:
      break;
    case SingleInstance::Claim::kHandedOver:
      return 0;
    case SingleInstance::Claim::kUnreachable:
      std::fprintf(stderr,
                   "%s: %s is running already and does not answer; "
                   "not starting another on %s\n",
                   std::filesystem::path(argv[0]).filename().c_str(),
                   identity.name.c_str(), settings.cache_path.c_str());
      return 1;
  }
  // From here on a signal quits in order; until here it simply ends the process.
  CatchTerminationSignals();

  settings.web_accessibility = WebAccessibilityWanted();
  shell = std::make_unique<Shell>(identity);
  if (!dev_url.url.empty()) {
    SetAppOrigin(dev_url.origin);
    shell->SetStartUrl(dev_url.url);
    std::fprintf(stderr, "lumio: showing %s; the bridge answers %s only\n",
                 dev_url.url.c_str(), dev_url.origin.c_str());
  }
  app->SetContextInitializedCallback([&shell] { shell->OnContextInitialized(); });
  shell->StartEngine(settings, app);

  // A missing or broken pack leaves the archive empty: the program runs on, and
  // every page of the pack is "not found".
  std::shared_ptr<const PackSource> pack;
  // Reloads every window, bypassing the caches, once an edit of the folder is done;
  // LUMIO_LIVE_RELOAD=0 leaves reloading to the developer.
  std::unique_ptr<WebFolderWatcher> live_reload;
  const char* live_reload_setting = std::getenv("LUMIO_LIVE_RELOAD");
  const bool live_reload_wanted =
      !live_reload_setting || std::string(live_reload_setting) != "0";
  if (web_dir) {
    auto folder = std::make_shared<WebFolder>(web_dir);
    if (folder->root().empty()) {
      std::fprintf(stderr, "lumio: LUMIO_WEB_DIR=%s is not a folder\n", web_dir);
    } else {
      std::fprintf(stderr, "lumio: serving app://lumio/ from %s\n",
                   folder->root().c_str());
      if (live_reload_wanted)
        live_reload = std::make_unique<WebFolderWatcher>(
            QString::fromStdString(folder->root()), [] { engine::ReloadAllBrowsers(); });
    }
    pack = folder;
  } else {
    auto archive = std::make_shared<ZipArchive>();
    archive->LoadFile(InstalledPackPath());
    pack = archive;
  }
  auto factory = std::make_shared<OrbitZipArchiveSchemeHandlerFactory>(pack);
  engine::RegisterSchemeHandlerFactory(protocol::kAppScheme, protocol::kAppHost, factory);

  OBApplication* shared_application = application.get();
  QMetaObject::invokeMethod(
      &delegate,
      [&delegate, &shell, shared_application] {
        delegate.createApplication(shared_application, shell->main_window());
      },
      Qt::QueuedConnection);
  DeliverTerminationSignals([shared_application] { shared_application->terminate(); });

  engine::RunMessageLoop();

  live_reload.reset();
  // The native services, the tray icon among them, go while the application object
  // still exists; the Shell's destruction is the shutdown, in its order.
  shell.reset();
  // The cache is closed: another lumio-app may have it now.
  instance.reset();
  application.reset();
  return 0;
}
