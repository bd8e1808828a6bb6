#include "native/desktop_notifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <QVariantMap>
#include <string>
#include <vector>

#include "native/notification_content.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr size_t kMaxOwn = 64;

QDBusMessage Call(const QString& method) {
  return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

// The icon installed beside the program (the window's icon, named after the desktop
// file) as a file URI, which every server takes; the theme's name when the program
// runs without it.
QString ProgramIcon() {
  QString name = QGuiApplication::desktopFileName();
  const QString path =
      QDir::cleanPath(QCoreApplication::applicationDirPath() +
                      QStringLiteral("/../share/icons/hicolor/256x256/apps/") + name +
                      QStringLiteral(".png"));
  if (QFileInfo::exists(path))
    return QUrl::fromLocalFile(path).toString();
  return name;
}

std::vector<std::string> ToStd(const QStringList& list) {
  std::vector<std::string> out;
  out.reserve(list.size());
  for (const QString& s : list)
    out.push_back(s.toStdString());
  return out;
}

}  // namespace

DesktopNotifications::DesktopNotifications(std::function<void()> on_click)
    : on_click_(std::move(on_click)) {
  // Signals of the name's current owner only; they come to every client, so each
  // is checked against our own ids. The connections end with this object.
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
              SLOT(OnActionInvoked(uint, QString)));
  bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
              SLOT(OnNotificationClosed(uint, uint)));
}

uint64_t DesktopNotifications::Notify(const QString& title,
                                      const QString& text,
                                      OwnEvents events) {
  const uint64_t ticket = ++last_ticket_;
  in_flight_.insert(ticket);
  const uint64_t withdrawals = withdrawals_;
  auto* watcher = new QDBusPendingCallWatcher(
      QDBusConnection::sessionBus().asyncCall(Call(QStringLiteral("GetCapabilities"))),
      this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, watcher, withdrawals, ticket, title, text, events = std::move(events)] {
            watcher->deleteLater();
            if (withdrawals != withdrawals_ || early_withdrawals_.erase(ticket)) {
              in_flight_.erase(ticket);
              return;  // withdrawn before it was shown
            }
            // A server that cannot say gets a notification without extras.
            QDBusPendingReply<QStringList> reply = *watcher;
            Send(ticket, title, text, reply.isValid() ? reply.value() : QStringList(),
                 events);
          });
  return ticket;
}

void DesktopNotifications::Send(uint64_t ticket,
                                const QString& title,
                                const QString& text,
                                const QStringList& capabilities,
                                OwnEvents events) {
  const std::vector<std::string> caps = ToStd(capabilities);
  QStringList actions;
  for (const std::string& action : NotificationActions(caps))
    actions << QString::fromStdString(action);
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName());

  QDBusMessage call = Call(QStringLiteral("Notify"));
  call << QGuiApplication::applicationDisplayName() << uint(0) << ProgramIcon() << title
       << QString::fromStdString(NotificationBody(text.toStdString(), caps)) << actions
       << hints << int32_t(-1);
  const uint64_t withdrawals = withdrawals_;
  auto* watcher =
      new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, watcher, withdrawals, ticket, events = std::move(events)] {
            watcher->deleteLater();
            in_flight_.erase(ticket);
            const bool withdrawn = early_withdrawals_.erase(ticket) > 0;
            QDBusPendingReply<uint> reply = *watcher;
            if (!reply.isValid() || reply.value() == 0)
              return;
            if (withdrawals != withdrawals_ || withdrawn) {
              Close(reply.value());
              return;
            }
            delivered_.insert(reply.value());
            if (!events.on_click && !events.on_closed)
              return;
            // A server that never says it closed them would have them pile up.
            if (own_.size() >= kMaxOwn)
              ForgetOwn(own_.begin()->first);
            own_[reply.value()] = Own{ticket, events};
            ids_by_ticket_[ticket] = reply.value();
          });
}

void DesktopNotifications::Withdraw(uint64_t ticket) {
  auto id = ids_by_ticket_.find(ticket);
  if (id == ids_by_ticket_.end()) {
    if (in_flight_.count(ticket))
      early_withdrawals_.insert(ticket);
    return;
  }
  const uint server_id = id->second;
  ForgetOwn(server_id);
  delivered_.erase(server_id);
  Close(server_id);
}

void DesktopNotifications::ForgetOwn(uint id) {
  auto own = own_.find(id);
  if (own == own_.end())
    return;
  ids_by_ticket_.erase(own->second.ticket);
  own_.erase(own);
}

void DesktopNotifications::RemoveDelivered() {
  ++withdrawals_;
  const std::set<uint> delivered = std::move(delivered_);
  delivered_.clear();
  own_.clear();
  ids_by_ticket_.clear();
  for (uint id : delivered)
    Close(id);
}

void DesktopNotifications::Close(uint id) {
  QDBusMessage call = Call(QStringLiteral("CloseNotification"));
  call << id;
  // The answer tells nothing we need: an id the server has closed already is
  // an error there, and gone either way.
  QDBusConnection::sessionBus().send(call);
}

void DesktopNotifications::OnActionInvoked(uint id, const QString& action_key) {
  if (action_key != QLatin1String(kNotificationDefaultAction) || !delivered_.count(id))
    return;
  on_click_();
  auto own = own_.find(id);
  if (own != own_.end() && own->second.events.on_click) {
    const std::function<void()> click = own->second.events.on_click;
    click();
  }
}

void DesktopNotifications::OnNotificationClosed(uint id, uint reason) {
  delivered_.erase(id);
  auto own = own_.find(id);
  if (own == own_.end())
    return;
  const std::function<void()> closed = own->second.events.on_closed;
  ForgetOwn(id);
  if (closed)
    closed();
}
