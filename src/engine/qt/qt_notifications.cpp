#include "engine/qt/qt_notifications.h"

#include <QWebEngineNotification>
#include <QWebEngineProfile>
#include <memory>

#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_engine_context.h"
#include "engine/qt/qt_permissions.h"
#include "engine/thread_check.h"

namespace engine {
namespace {

void Present(std::unique_ptr<QWebEngineNotification> notification) {
  LUMIO_ASSERT_UI_THREAD();
  QtEngineContext* context = QtEngineContext::Get();
  if (!context || context->browsers().empty())
    return;
  std::shared_ptr<PermissionHandler> handler =
      context->browsers().begin()->second->GetClient()->GetPermissionHandler();
  if (!handler)
    return;
  // Shared with the click: the page hears of the click as long as the
  // notification lives, and the engine lets it go with the last reference.
  std::shared_ptr<QWebEngineNotification> shared(std::move(notification));
  const bool shown = handler->OnShowNotification(
      OriginText(shared->origin()), shared->title().toStdString(),
      shared->message().toStdString(), [shared] { shared->click(); });
  if (shown)
    shared->show();
  else
    shared->close();
}

}  // namespace

void PresentNotifications(QWebEngineProfile* profile) {
  profile->setNotificationPresenter(&Present);
}

}  // namespace engine
