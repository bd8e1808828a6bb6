// Notifications through the desktop's notification server
// (org.freedesktop.Notifications on the session bus). Every call is asynchronous:
// a slow or missing server never holds up the UI thread, and failures are
// dropped, as the page is told of none. UI thread only.
#ifndef SRC_NATIVE_DESKTOP_NOTIFICATIONS_H_
#define SRC_NATIVE_DESKTOP_NOTIFICATIONS_H_

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <set>

class DesktopNotifications : public QObject {
  Q_OBJECT
 public:
  // |on_click| runs when the user clicks one of the notifications shown here.
  explicit DesktopNotifications(std::function<void()> on_click);

  // Asks the server what it can do, then shows |title| and |text| with the
  // program's name and icon and, where the server has actions, a default action.
  // A click on this one runs |on_this_click| too, after the common |on_click|.
  void Notify(const QString& title,
              const QString& text,
              std::function<void()> on_this_click = {});
  // Withdraws every notification shown so far, and those still on their way.
  void RemoveDelivered();

 private slots:
  void OnActionInvoked(uint id, const QString& action_key);
  void OnNotificationClosed(uint id, uint reason);

 private:
  void Send(const QString& title,
            const QString& text,
            const QStringList& capabilities,
            std::function<void()> on_this_click);
  void Close(uint id);

  std::function<void()> on_click_;
  // Ids the server gave the notifications it still shows.
  std::set<uint> delivered_;
  // The clicks of those that have one of their own; as many as the server shows.
  std::map<uint, std::function<void()>> own_clicks_;
  // Counts calls of RemoveDelivered: a notification asked for before the latest
  // one is withdrawn as soon as its id is known.
  uint64_t withdrawals_ = 0;
};

#endif  // SRC_NATIVE_DESKTOP_NOTIFICATIONS_H_
