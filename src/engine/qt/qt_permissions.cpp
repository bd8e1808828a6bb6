#include "engine/qt/qt_permissions.h"

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QtGlobal>
#include <memory>
#include <optional>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QWebEnginePermission>
#endif

#include "engine/qt/qt_browser.h"
#include "engine/thread_check.h"

namespace engine {
namespace {

// Hands the answer to |reply| once; an answer never given is a denial.
class CallbackOnce : public PermissionCallback {
 public:
  explicit CallbackOnce(std::function<void(bool)> reply) : reply_(std::move(reply)) {}
  ~CallbackOnce() override { Continue(false); }
  void Continue(bool granted) override {
    if (!reply_)
      return;
    auto reply = std::move(reply_);
    reply_ = nullptr;
    reply(granted);
  }

 private:
  std::function<void(bool)> reply_;
};

void Ask(QtBrowser& browser,
         const QUrl& origin,
         Permission permission,
         std::function<void(bool)> reply) {
  auto callback = std::make_shared<CallbackOnce>(std::move(reply));
  auto handler = browser.GetClient()->GetPermissionHandler();
  if (!handler) {
    callback->Continue(false);
    return;
  }
  handler->OnPermissionRequest(browser.shared_from_this(), OriginText(origin), permission,
                               callback);
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
std::optional<Permission> ToPermission(QWebEnginePermission::PermissionType type) {
  switch (type) {
    case QWebEnginePermission::PermissionType::Notifications:
      return Permission::kNotifications;
    case QWebEnginePermission::PermissionType::Geolocation:
      return Permission::kGeolocation;
    case QWebEnginePermission::PermissionType::MediaAudioCapture:
      return Permission::kMicrophone;
    case QWebEnginePermission::PermissionType::MediaVideoCapture:
      return Permission::kCamera;
    case QWebEnginePermission::PermissionType::MediaAudioVideoCapture:
      return Permission::kCameraAndMicrophone;
    case QWebEnginePermission::PermissionType::DesktopVideoCapture:
    case QWebEnginePermission::PermissionType::DesktopAudioVideoCapture:
      return Permission::kScreenCapture;
    case QWebEnginePermission::PermissionType::MouseLock:
      return Permission::kPointerLock;
    case QWebEnginePermission::PermissionType::ClipboardReadWrite:
      return Permission::kClipboard;
    default:
      return std::nullopt;
  }
}
#else
Permission ToPermission(QWebEnginePage::Feature feature) {
  switch (feature) {
    case QWebEnginePage::Notifications:
      return Permission::kNotifications;
    case QWebEnginePage::Geolocation:
      return Permission::kGeolocation;
    case QWebEnginePage::MediaAudioCapture:
      return Permission::kMicrophone;
    case QWebEnginePage::MediaVideoCapture:
      return Permission::kCamera;
    case QWebEnginePage::MediaAudioVideoCapture:
      return Permission::kCameraAndMicrophone;
    case QWebEnginePage::DesktopVideoCapture:
    case QWebEnginePage::DesktopAudioVideoCapture:
      return Permission::kScreenCapture;
    case QWebEnginePage::MouseLock:
      break;
  }
  return Permission::kPointerLock;
}
#endif

}  // namespace

std::string OriginText(const QUrl& url) {
  if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
    return "null";
  std::string text =
      url.scheme().toLower().toStdString() + "://" + url.host().toLower().toStdString();
  if (url.port() != -1)
    text += ":" + std::to_string(url.port());
  return text;
}

bool AskAtOnce(QtBrowser& browser, const QUrl& origin, Permission permission) {
  bool granted = false;
  Ask(browser, origin, permission, [&granted](bool answer) { granted = answer; });
  return granted;
}

void QtPermissions::Connect(QtBrowser& browser) {
  QWebEnginePage* page = browser.page();
  std::weak_ptr<QtBrowser> weak = browser.weak_from_this();
  QPointer<QWebEnginePage> guarded(page);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  QObject::connect(page, &QWebEnginePage::permissionRequested, page,
                   [weak](QWebEnginePermission request) {
                     LUMIO_ASSERT_UI_THREAD();
                     auto self = weak.lock();
                     const std::optional<Permission> permission =
                         ToPermission(request.permissionType());
                     if (!self || !permission) {
                       request.deny();
                       return;
                     }
                     Ask(*self, request.origin(), *permission, [request](bool granted) {
                       if (granted)
                         request.grant();
                       else
                         request.deny();
                     });
                   });
#else
  QObject::connect(page, &QWebEnginePage::featurePermissionRequested, page,
                   [weak, guarded](const QUrl& origin, QWebEnginePage::Feature feature) {
                     LUMIO_ASSERT_UI_THREAD();
                     auto self = weak.lock();
                     auto reply = [guarded, origin, feature](bool granted) {
                       if (guarded)
                         guarded->setFeaturePermission(
                             origin, feature,
                             granted ? QWebEnginePage::PermissionGrantedByUser
                                     : QWebEnginePage::PermissionDeniedByUser);
                     };
                     if (!self) {
                       reply(false);
                       return;
                     }
                     Ask(*self, origin, ToPermission(feature), reply);
                   });
#endif
  // The async Clipboard API follows two page settings (Qt 6.8 asks through
  // permissionRequested only while they are off); a page shows one origin's
  // documents at a time in its main frame, and a cross-origin frame needs the
  // page's leave ("allow" of the frame) as well.
  auto apply_clipboard = [weak, guarded](const QUrl& url) {
    auto self = weak.lock();
    if (!self || !guarded)
      return;
    const bool allowed = AskAtOnce(*self, url, Permission::kClipboard);
    QWebEngineSettings* settings = guarded->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, allowed);
    settings->setAttribute(QWebEngineSettings::JavascriptCanPaste, allowed);
  };
  QObject::connect(page, &QWebEnginePage::urlChanged, page, apply_clipboard);
}

}  // namespace engine
