// The engine's process entry, start-up and message loop over Qt WebEngine.
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <QApplication>
#include <QLocale>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>
#include <QWebEngineUrlScheme>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "engine/engine.h"
#include "engine/qt/qt_accessibility.h"
#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_development.h"
#include "engine/qt/qt_engine_context.h"
#include "engine/qt/qt_page.h"

// Exported by libQt6WebEngineCore: the main function of the engine's secondary
// processes (renderer, GPU, utility), as QtWebEngineProcess calls it.
namespace QtWebEngineCore {
int processMain(int argc, const char** argv);
}

namespace engine {
namespace {

class QtSchemeRegistrar : public SchemeRegistrar {
 public:
  bool AddCustomScheme(const std::string& scheme_name,
                       bool is_standard,
                       bool is_local,
                       bool is_display_isolated,
                       bool is_fetch_enabled) override {
    const QByteArray name = QByteArray::fromStdString(scheme_name);
    if (QWebEngineUrlScheme::schemeByName(name).name() == name)
      return false;
    QWebEngineUrlScheme scheme(name);
    // Standard: parsed like web URLs, with a host; relative links resolve.
    scheme.setSyntax(is_standard ? QWebEngineUrlScheme::Syntax::Host
                                 : QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::Flags flags;
    if (is_local)
      flags |= QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed;
    // Chromium's display isolation has no Qt flag; no scheme of ours asks for it.
    (void)is_display_isolated;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Before, the page script carries fetch() of the scheme over XMLHttpRequest.
    if (is_fetch_enabled)
      flags |= QWebEngineUrlScheme::FetchApiAllowed;
#else
    (void)is_fetch_enabled;
#endif
    scheme.setFlags(flags);
    QWebEngineUrlScheme::registerScheme(scheme);
    return true;
  }
};

// The program's application object and the arguments it reads for its whole
// life. Qt allows one application object per process and reaches it through
// qApp, so it is process-wide here too.
struct ApplicationObject {
  std::vector<std::string> args;
  std::vector<char*> pointers;
  int argc = 0;
  std::unique_ptr<QApplication> object;
};

ApplicationObject& TheApplication() {
  static ApplicationObject application;
  return application;
}

// Qt WebEngine reads its switch once, when its context starts: with it, it builds
// the pages' accessibility trees whenever Qt's own accessibility is active (Qt
// joins the desktop's accessibility bus); without it, never. Qt 6.4 takes the
// variable being set at all as on; later versions take anything but "0" as on
// and an unset variable as on too.
void SetWebAccessibility(bool on) {
  constexpr char kWebEngineSwitch[] = "QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY";
  if (on) {
    qputenv(kWebEngineSwitch, "1");
    // Qt joins the accessibility bus only when the desktop flags it enabled; the
    // user's own switches count as well.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    return;
  }
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
  qputenv(kWebEngineSwitch, "0");
#else
  qunsetenv(kWebEngineSwitch);
#endif
}

}  // namespace

int ExecuteProcess(int argc, char** argv, const std::shared_ptr<App>& app) {
  CommandLine command_line(argc, argv);
  const std::string process_type = command_line.GetSwitchValue("type");
  if (process_type.empty())
    return -1;
  if (app)
    app->OnBeforeCommandLineProcessing(process_type, command_line);
  std::vector<std::string> args = command_line.GetArgv();
  std::vector<const char*> pointers;
  pointers.reserve(args.size() + 1);
  for (const std::string& arg : args)
    pointers.push_back(arg.c_str());
  pointers.push_back(nullptr);
  // The engine finds its resources, locales and ICU data through the application
  // object, and without one Qt complains on stderr. It gets arguments of its own:
  // Chromium may rewrite its argv in place to set the process title.
  std::vector<std::string> app_args = args;
  std::vector<char*> app_pointers;
  app_pointers.reserve(app_args.size() + 1);
  for (std::string& arg : app_args)
    app_pointers.push_back(arg.data());
  app_pointers.push_back(nullptr);
  int app_argc = static_cast<int>(app_args.size());
  QCoreApplication application(app_argc, app_pointers.data());
  return QtWebEngineCore::processMain(static_cast<int>(args.size()), pointers.data());
}

bool CreateApplication(int argc,
                       char** argv,
                       const Settings& settings,
                       const std::shared_ptr<App>& app) {
  if (qApp)
    return false;
  // Before the application object: Qt reads its own switch when it first looks at
  // the accessibility bus.
  SetWebAccessibility(settings.web_accessibility);
  InstallApplicationAccessibility();
  CommandLine command_line;
  if (settings.command_line_args_disabled)
    command_line.SetProgram(argc > 0 && argv[0] ? argv[0] : "lumio");
  else
    command_line = CommandLine(argc, argv);
  if (settings.log_disabled)
    command_line.AppendSwitchWithValue("log-level", "3");
  if (!settings.locale.empty())
    command_line.AppendSwitchWithValue("lang", settings.locale);
  // Documents of other sites get processes of their own, so that a page of the
  // web shown in a frame or a popup shares no memory with the program's pages.
  command_line.AppendSwitch("site-per-process");
  // With sites in processes of their own, the engine keeps a spare renderer
  // process started for the next site; the program shows one site, so the spare
  // only costs memory.
  command_line.AppendSwitchWithValue("disable-features",
                                     "SpareRendererForSitePerProcess");
  if (app)
    app->OnBeforeCommandLineProcessing(std::string(), command_line);

  QtSchemeRegistrar registrar;
  if (app)
    app->OnRegisterCustomSchemes(registrar);

  // Secondary processes run our own helper program, installed beside us.
  std::error_code error;
  const std::filesystem::path helper =
      std::filesystem::canonical(settings.helper_path, error);
  if (!settings.helper_path.empty() && !error)
    setenv("QTWEBENGINEPROCESS_PATH", helper.c_str(), 1);

  if (settings.log_disabled) {
    // Qt WebEngine's own start-up report and the pages' console messages.
    QLoggingCategory::setFilterRules(
        QStringLiteral("qt.webenginecontext=false\njs=false"));
  }
  if (!settings.locale.empty())
    QLocale::setDefault(
        QLocale(QString::fromStdString(settings.locale).replace('-', '_')));
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // Qt hands Chromium only what follows this marker; anything before it is Qt's.
  std::vector<std::string> args = command_line.GetArgv();
  args.insert(args.begin() + 1, "--webEngineArgs");
  ApplicationObject& application = TheApplication();
  application.args = std::move(args);
  for (std::string& arg : application.args)
    application.pointers.push_back(arg.data());
  application.pointers.push_back(nullptr);
  application.argc = static_cast<int>(application.args.size());
  application.object =
      std::make_unique<QApplication>(application.argc, application.pointers.data());
  return true;
}

void DestroyApplication() {
  ApplicationObject& application = TheApplication();
  application.object.reset();
  application.pointers.clear();
  application.args.clear();
}

bool Initialize(const Settings& settings, const std::shared_ptr<App>& app) {
  if (!qApp || QtEngineContext::Get())
    return false;
  SetWebAccessibility(settings.web_accessibility);
  new QtEngineContext(settings);  // owned through QtEngineContext::Get until Shutdown
  if (app) {
    if (auto handler = app->GetBrowserProcessHandler())
      handler->OnContextInitialized();
  }
  return true;
}

bool RegisterSchemeHandlerFactory(const std::string& scheme_name,
                                  const std::string& domain_name,
                                  const std::shared_ptr<SchemeHandlerFactory>& factory) {
  QtEngineContext* context = QtEngineContext::Get();
  return context &&
         context->RegisterSchemeHandlerFactory(scheme_name, domain_name, factory);
}

std::shared_ptr<Browser> CreateBrowserSync(const WindowInfo& window_info,
                                           const std::shared_ptr<Client>& client,
                                           const std::string& url,
                                           const BrowserSettings& settings) {
  if (!QtEngineContext::Get() || !client)
    return nullptr;
  std::shared_ptr<QtBrowser> browser = QtBrowser::Create(window_info, client, settings);
  browser->Load(url);
  return browser;
}

void RunMessageLoop() {
  if (qApp)
    qApp->exec();
}

void QuitMessageLoop() {
  // Queued, so that a quit asked for before the loop runs still ends it. exit, not
  // quit: QCoreApplication::quit is a request that the application may turn down.
  if (qApp)
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void Shutdown() {
  delete QtEngineContext::Get();
}

void ReloadAllBrowsers() {
  QtEngineContext* context = QtEngineContext::Get();
  if (!context)
    return;
  for (const auto& [id, browser] : context->browsers()) {
    auto* page = static_cast<QtPage*>(browser->page());
    if (!page)
      continue;
    if (page->development())
      page->development()->Reload();
    else
      page->triggerAction(QWebEnginePage::ReloadAndBypassCache);
  }
}

void PostDelayedTask(std::function<void()> task, int64_t delay_ms) {
  if (qApp)
    QTimer::singleShot(static_cast<int>(delay_ms), qApp, std::move(task));
}

bool CurrentlyOnUIThread() {
  return qApp && QThread::currentThread() == qApp->thread();
}

Versions GetVersions() {
  Versions versions;
  versions.toolkit = qVersion();
  versions.toolkit_built = QT_VERSION_STR;
  versions.engine = qWebEngineVersion();
  versions.chromium = qWebEngineChromiumVersion();
  versions.security_patch = qWebEngineChromiumSecurityPatchVersion();
  return versions;
}

}  // namespace engine
