#include "engine/qt/qt_engine_context.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <algorithm>

#include "engine/qt/bridge_script.h"
#include "engine/qt/page_script.h"
#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_download.h"
#include "engine/qt/qt_notifications.h"
#include "engine/qt/qt_scheme_handler.h"
#include "engine/qt/user_agent.h"

namespace engine {
namespace {

QtEngineContext* g_context = nullptr;

// How long requests sent by unloading pages may take to leave before the profile
// goes.
constexpr int64_t kUnloadDrainMs = 1000;

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

QtEngineContext* QtEngineContext::Get() {
  return g_context;
}

QtEngineContext::QtEngineContext(const Settings& settings)
    : development_(settings.development) {
  g_context = this;
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
  profile_ = new QWebEngineProfile(profile_name);
  if (!settings.cache_path.empty()) {
    const QString path = QString::fromStdString(settings.cache_path);
    profile_->setCachePath(path);
    profile_->setPersistentStoragePath(path);
    if (!QDir::cleanPath(path).startsWith(QDir::cleanPath(app_data))) {
      RemoveCreatedFolders(default_folders, existed);
      // The first storage's preferences may still be written out later, as late
      // as the profile's end: the destructor looks once more.
      stray_folders_ = default_folders;
      stray_folders_existed_ = existed;
    }
  }
  if (!settings.product_version.empty()) {
    profile_->setHttpUserAgent(QString::fromStdString(UserAgentWithProduct(
        profile_->httpUserAgent().toStdString(), settings.product_version)));
  }
  if (!settings.locale.empty())
    profile_->setHttpAcceptLanguage(QString::fromStdString(settings.locale));
  // Development mode keeps the profile's HTTP cache: the app's files never go
  // into it, and on Qt 6.4 a profile without one loads no http page at all. The
  // engine's memory cache of the app's scripts and style sheets is dealt with by
  // the reloads (QtDevelopment) and the scheme's answers (QtSchemeHandler).
  QObject::connect(profile_, &QWebEngineProfile::downloadRequested, profile_,
                   &HandleDownloadRequest);
  PresentNotifications(profile_);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  // The client remembers the user's answers itself; the engine's own store would
  // keep them past a change of the program's policy.
  profile_->setPersistentPermissionsPolicy(
      QWebEngineProfile::PersistentPermissionsPolicy::AskEveryTime);
#endif

  // The router first: the page's stub hands it its port as soon as it runs.
  QWebEngineScript router;
  router.setName(QStringLiteral("lumio-bridge"));
  router.setSourceCode(BridgeScriptSource());
  router.setInjectionPoint(QWebEngineScript::DocumentCreation);
  router.setWorldId(kBridgeWorldId);
  router.setRunsOnSubFrames(true);
  profile_->scripts()->insert(router);
  QWebEngineScript stub;
  stub.setName(QStringLiteral("lumio-page"));
  stub.setSourceCode(QString::fromUtf8(kPageScript));
  stub.setInjectionPoint(QWebEngineScript::DocumentCreation);
  stub.setWorldId(QWebEngineScript::MainWorld);
  stub.setRunsOnSubFrames(true);
  profile_->scripts()->insert(stub);
}

QtEngineContext::~QtEngineContext() {
  const auto browsers = browsers_;
  for (const auto& [id, browser] : browsers)
    browser->CloseBrowser(true);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // What pages sent from their unload handlers (beacons) is still on its way, and
  // goes with the profile's network context: give it a moment to leave.
  const int64_t since_unload = last_unload_.isValid() ? last_unload_.elapsed() : -1;
  if (since_unload >= 0 && since_unload < kUnloadDrainMs) {
    QEventLoop drain;
    QTimer::singleShot(static_cast<int>(kUnloadDrainMs - since_unload), &drain,
                       &QEventLoop::quit);
    drain.exec();
  }
  delete profile_;
  profile_ = nullptr;
  scheme_handlers_.clear();
  if (!stray_folders_.isEmpty())
    RemoveCreatedFolders(stray_folders_, stray_folders_existed_);
  g_context = nullptr;
}

bool QtEngineContext::RegisterSchemeHandlerFactory(
    const std::string& scheme_name,
    const std::string& domain_name,
    const std::shared_ptr<SchemeHandlerFactory>& factory) {
  if (!factory)
    return false;
  QtSchemeHandler*& handler = scheme_handlers_[scheme_name];
  if (!handler) {
    handler = new QtSchemeHandler(scheme_name, development_, profile_);
    profile_->installUrlSchemeHandler(QByteArray::fromStdString(scheme_name), handler);
  }
  handler->SetFactory(domain_name, factory);
  return true;
}

void QtEngineContext::AddBrowser(const std::shared_ptr<QtBrowser>& browser) {
  browsers_[browser->GetIdentifier()] = browser;
}

void QtEngineContext::AddPendingPopup(const std::shared_ptr<QtBrowser>& popup) {
  pending_popups_.push_back(popup);
}

void QtEngineContext::RemovePendingPopup(const std::shared_ptr<QtBrowser>& popup) {
  pending_popups_.erase(
      std::remove(pending_popups_.begin(), pending_popups_.end(), popup),
      pending_popups_.end());
}

}  // namespace engine
