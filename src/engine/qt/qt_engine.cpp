// The engine's process entry, start-up and message loop over Qt WebEngine.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlScheme>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "engine/engine.h"
#include "engine/qt/bridge_script.h"
#include "engine/qt/page_script.h"
#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_download.h"
#include "engine/qt/qt_scheme_handler.h"
#include "engine/qt/user_agent.h"

// Exported by libQt6WebEngineCore: the main function of the engine's secondary
// processes (renderer, GPU, utility), as QtWebEngineProcess calls it.
namespace QtWebEngineCore {
int processMain(int argc, const char** argv);
}

namespace engine {
namespace {

QWebEngineProfile* g_profile = nullptr;
// The folders of the profile's first storage that this run made, and which of
// them were there before; empty when the cache lives elsewhere.
QStringList g_stray_folders;
QList<bool> g_stray_folders_existed;

// How long requests sent by unloading pages may take to leave before the profile
// goes.
constexpr int64_t kUnloadDrainMs = 1000;
std::map<std::string, QtSchemeHandler*> g_scheme_handlers;

class QtSchemeRegistrar : public SchemeRegistrar {
 public:
  bool AddCustomScheme(const std::string& scheme_name,
                       bool is_standard,
                       bool is_local,
                       bool is_display_isolated) override {
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
    scheme.setFlags(flags);
    QWebEngineUrlScheme::registerScheme(scheme);
    return true;
  }
};

std::string ExecutableDir() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

// The script of the program's own script world: our router, in one function
// that is handed its own text and the page stub's (it starts both in about:blank
// documents). It speaks the web channel's protocol itself.
QString BridgeScriptSource() {
  const QString function = QStringLiteral("function (bridgeSource, pageSource) {\n") +
                           QString::fromUtf8(kBridgeScript) + QStringLiteral("\n}");
  const QByteArray arguments =
      QJsonDocument(QJsonArray{function, QString::fromUtf8(kPageScript)})
          .toJson(QJsonDocument::Compact);
  return QStringLiteral("(") + function + QStringLiteral(").apply(null, ") +
         QString::fromUtf8(arguments) + QStringLiteral(");");
}

// Removes the folders of |folders| (outermost first) that did not exist before,
// innermost first, as long as nothing else has come into them.
void RemoveCreatedFolders(const QStringList& folders, const QList<bool>& existed) {
  for (qsizetype i = folders.size() - 1; i >= 0; --i) {
    if (existed[i])
      break;
    QDir dir(folders[i]);
    if (i == folders.size() - 1)
      dir.removeRecursively();
    else if (dir.isEmpty())
      QDir().rmdir(folders[i]);
  }
}

}  // namespace

ApplicationArguments::ApplicationArguments(std::vector<std::string> args)
    : args_(std::move(args)) {
  for (std::string& arg : args_)
    pointers_.push_back(arg.data());
  argc_ = static_cast<int>(args_.size());
  pointers_.push_back(nullptr);
}

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

std::unique_ptr<ApplicationArguments> PrepareBrowserProcess(
    int argc,
    char** argv,
    const Settings& settings,
    const std::shared_ptr<App>& app) {
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
  const std::string helper = ExecutableDir() + "/../libexec/lumio/lumio-helper";
  if (std::filesystem::exists(helper))
    setenv("QTWEBENGINEPROCESS_PATH", std::filesystem::canonical(helper).c_str(), 1);

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
  return std::make_unique<ApplicationArguments>(args);
}

bool Initialize(const Settings& settings, const std::shared_ptr<App>& app) {
  if (!qApp || g_profile)
    return false;
  // A named profile starts in Qt's own data folder and writes its preferences
  // there at once; once the program's cache folder replaces it, the folders that
  // this created go again.
  const QString profile_name = QStringLiteral("Lumio");
  const QString app_data =
      QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  const QStringList default_folders = {
      app_data, app_data + QStringLiteral("/QtWebEngine"),
      app_data + QStringLiteral("/QtWebEngine/") + profile_name};
  QList<bool> existed;
  for (const QString& folder : default_folders)
    existed.append(QDir(folder).exists());
  g_profile = new QWebEngineProfile(profile_name);
  if (!settings.cache_path.empty()) {
    const QString path = QString::fromStdString(settings.cache_path);
    g_profile->setCachePath(path);
    g_profile->setPersistentStoragePath(path);
    if (!QDir::cleanPath(path).startsWith(QDir::cleanPath(app_data))) {
      RemoveCreatedFolders(default_folders, existed);
      // The first storage's preferences may still be written out later, as late
      // as the profile's end: Shutdown looks once more.
      g_stray_folders = default_folders;
      g_stray_folders_existed = existed;
    }
  }
  if (!settings.product_version.empty()) {
    g_profile->setHttpUserAgent(QString::fromStdString(UserAgentWithProduct(
        g_profile->httpUserAgent().toStdString(), settings.product_version)));
  }
  if (!settings.locale.empty())
    g_profile->setHttpAcceptLanguage(QString::fromStdString(settings.locale));
  QObject::connect(g_profile, &QWebEngineProfile::downloadRequested, g_profile,
                   &HandleDownloadRequest);

  // The router first: the page's stub hands it its port as soon as it runs.
  QWebEngineScript router;
  router.setName(QStringLiteral("lumio-bridge"));
  router.setSourceCode(BridgeScriptSource());
  router.setInjectionPoint(QWebEngineScript::DocumentCreation);
  router.setWorldId(kBridgeWorldId);
  router.setRunsOnSubFrames(true);
  g_profile->scripts()->insert(router);
  QWebEngineScript stub;
  stub.setName(QStringLiteral("lumio-page"));
  stub.setSourceCode(QString::fromUtf8(kPageScript));
  stub.setInjectionPoint(QWebEngineScript::DocumentCreation);
  stub.setWorldId(QWebEngineScript::MainWorld);
  stub.setRunsOnSubFrames(true);
  g_profile->scripts()->insert(stub);

  if (app) {
    if (auto handler = app->GetBrowserProcessHandler())
      handler->OnContextInitialized();
  }
  return true;
}

bool RegisterSchemeHandlerFactory(const std::string& scheme_name,
                                  const std::string& domain_name,
                                  const std::shared_ptr<SchemeHandlerFactory>& factory) {
  if (!g_profile || !factory)
    return false;
  QtSchemeHandler*& handler = g_scheme_handlers[scheme_name];
  if (!handler) {
    handler = new QtSchemeHandler(scheme_name, g_profile);
    g_profile->installUrlSchemeHandler(QByteArray::fromStdString(scheme_name), handler);
  }
  handler->SetFactory(domain_name, factory);
  return true;
}

std::shared_ptr<Browser> CreateBrowserSync(const WindowInfo& window_info,
                                           const std::shared_ptr<Client>& client,
                                           const std::string& url,
                                           const BrowserSettings& settings) {
  if (!g_profile || !client)
    return nullptr;
  std::shared_ptr<QtBrowser> browser =
      QtBrowser::Create(window_info, client, settings, g_profile);
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
  // Pages must go before their profile.
  const auto browsers = QtBrowser::OpenBrowsers();
  for (const auto& [id, browser] : browsers)
    browser->CloseBrowser(true);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // What pages sent from their unload handlers (beacons) is still on its way, and
  // goes with the profile's network context: give it a moment to leave.
  const int64_t since_unload = QtBrowser::MillisecondsSinceLastUnload();
  if (since_unload >= 0 && since_unload < kUnloadDrainMs) {
    QEventLoop drain;
    QTimer::singleShot(static_cast<int>(kUnloadDrainMs - since_unload), &drain,
                       &QEventLoop::quit);
    drain.exec();
  }
  delete g_profile;
  g_profile = nullptr;
  g_scheme_handlers.clear();
  if (!g_stray_folders.isEmpty())
    RemoveCreatedFolders(g_stray_folders, g_stray_folders_existed);
}

void PostDelayedTask(std::function<void()> task, int64_t delay_ms) {
  if (qApp)
    QTimer::singleShot(static_cast<int>(delay_ms), qApp, std::move(task));
}

bool CurrentlyOnUIThread() {
  return qApp && QThread::currentThread() == qApp->thread();
}

}  // namespace engine
