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

class QtNotification : public Notification {
 public:
  explicit QtNotification(std::unique_ptr<QWebEngineNotification> notification)
      : notification_(std::move(notification)) {}

  std::string GetOrigin() const override { return OriginText(notification_->origin()); }
  std::string GetTitle() const override { return notification_->title().toStdString(); }
  std::string GetBody() const override { return notification_->message().toStdString(); }
  void OnClicked() override { notification_->click(); }
  void OnClosed() override { notification_->close(); }
  void SetWithdrawnHandler(std::function<void()> withdrawn) override {
    QObject::connect(notification_.get(), &QWebEngineNotification::closed,
                     notification_.get(), std::move(withdrawn));
  }
  void Shown() { notification_->show(); }

 private:
  std::unique_ptr<QWebEngineNotification> notification_;
};

void Present(std::unique_ptr<QWebEngineNotification> notification) {
  LUMIO_ASSERT_UI_THREAD();
  QtEngineContext* context = QtEngineContext::Get();
  if (!context || context->browsers().empty())
    return;
  std::shared_ptr<PermissionHandler> handler =
      context->browsers().begin()->second->GetClient()->GetPermissionHandler();
  if (!handler)
    return;
  // The handler keeps it as long as the desktop shows it, so that the page hears
  // of a click or a dismissal.
  auto shown = std::make_shared<QtNotification>(std::move(notification));
  if (handler->OnShowNotification(shown))
    shown->Shown();
  else
    shown->OnClosed();
}

}  // namespace

void PresentNotifications(QWebEngineProfile* profile) {
  profile->setNotificationPresenter(&Present);
}

}  // namespace engine
