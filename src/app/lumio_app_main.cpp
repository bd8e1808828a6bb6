// lumio-app: the program the user starts. Runs the engine's browser process; its
// Shell owns every window and native service, and it lives until the last browser
// has closed.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QMetaObject>

#include "app/ob_app_delegate.h"
#include "app/ob_application.h"
#include "app/orbit_app.h"
#include "app/shell.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "engine/engine.h"
#include "lumio_protocol.h"
#include "native/data_paths.h"
#include "native/os_services.h"
#include "resources/scheme_handler_factory.h"
#include "resources/web_folder.h"
#include "resources/zip_archive.h"

namespace {

// The pack lies in <prefix>/share/lumio beside <prefix>/bin/lumio-app.
std::string PackPath() {
  std::error_code error;
  const std::filesystem::path exe =
      std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    return {};
  return (exe.parent_path() / ".." / "share" / "lumio" / "lumio.pak").lexically_normal();
}

// What --version prints: enough for a bug report to say which engine, and how far
// its security fixes go.
void PrintVersions() {
  const engine::Versions v = engine::GetVersions();
  std::printf("Lumio %s\n", protocol::kVersion);
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
    PrintVersions();
    return 0;
  }

  engine::Settings settings;
  settings.command_line_args_disabled = true;
  settings.log_disabled = true;
  settings.locale = OSGetPreferredLocale();
  settings.product_version = std::string("Lumio-Mac/") + protocol::kVersion;
  settings.cache_path =
      EngineCachePath(UserDataHome(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));

  engine::CreateApplication(argc, argv, settings, app);
  // Whatever way main returns, the application object goes last, while Qt is
  // still whole.
  struct ApplicationEnd {
    ~ApplicationEnd() { engine::DestroyApplication(); }
  } application_end;
  auto application = std::make_unique<OBApplication>();
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
  auto instance =
      std::make_unique<SingleInstance>(QString::fromStdString(settings.cache_path));
  switch (instance->ClaimOrHandOver(
      [&shell] { return !shell || shell->IsQuitting(); },
      [&delegate] { delegate.applicationShouldHandleReopen(); })) {
    case SingleInstance::Claim::kFirst:
      break;
    case SingleInstance::Claim::kHandedOver:
      return 0;
    case SingleInstance::Claim::kUnreachable:
      std::fprintf(stderr,
                   "lumio-app: Lumio is running already and does not answer; "
                   "not starting another on %s\n",
                   settings.cache_path.c_str());
      return 1;
  }
  // From here on a signal quits in order; until here it simply ends the process.
  CatchTerminationSignals();

  shell = std::make_unique<Shell>();
  app->SetContextInitializedCallback([&shell] { shell->OnContextInitialized(); });
  shell->StartEngine(settings, app);

  // A missing or broken pack leaves the archive empty: the program runs on, and
  // every page of the pack is "not found". LUMIO_WEB_DIR names a folder to serve
  // instead, read afresh on every request (development mode).
  std::shared_ptr<const PackSource> pack;
  const char* web_dir = std::getenv("LUMIO_WEB_DIR");
  if (web_dir && *web_dir) {
    auto folder = std::make_shared<WebFolder>(web_dir);
    if (folder->root().empty())
      std::fprintf(stderr, "lumio: LUMIO_WEB_DIR=%s is not a folder\n", web_dir);
    else
      std::fprintf(stderr, "lumio: serving app://lumio/ from %s\n",
                   folder->root().c_str());
    pack = folder;
  } else {
    auto archive = std::make_shared<ZipArchive>();
    archive->LoadFile(PackPath());
    pack = archive;
  }
  auto factory = std::make_shared<OrbitZipArchiveSchemeHandlerFactory>(pack);
  engine::RegisterSchemeHandlerFactory("app", "lumio", factory);

  OBApplication* shared_application = application.get();
  QMetaObject::invokeMethod(
      &delegate,
      [&delegate, &shell, shared_application] {
        delegate.createApplication(shared_application, shell->main_window());
      },
      Qt::QueuedConnection);
  DeliverTerminationSignals([shared_application] { shared_application->terminate(); });

  engine::RunMessageLoop();

  // The native services, the tray icon among them, go while the application object
  // still exists; the Shell's destruction is the shutdown, in its order.
  shell.reset();
  // The cache is closed: another lumio-app may have it now.
  instance.reset();
  application.reset();
  return 0;
}
