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

  // What becomes of one notification: clicked (after the common |on_click|), or
  // closed by the user or the server.
  struct OwnEvents {
    std::function<void()> on_click;
    std::function<void()> on_closed;
  };

  // Asks the server what it can do, then shows |title| and |text| with the
  // program's name and icon and, where the server has actions, a default action.
  // Returns a ticket for Withdraw.
  uint64_t Notify(const QString& title, const QString& text, OwnEvents events = {});
  // Withdraws the notification of |ticket|, now or once the server has taken it;
  // its own events do not run.
  void Withdraw(uint64_t ticket);
  // Withdraws every notification shown so far, and those still on their way.
  void RemoveDelivered();

 private slots:
  void OnActionInvoked(uint id, const QString& action_key);
  void OnNotificationClosed(uint id, uint reason);

 private:
  void Send(uint64_t ticket,
            const QString& title,
            const QString& text,
            const QStringList& capabilities,
            OwnEvents events);
  void ForgetOwn(uint id);
  void Close(uint id);

  std::function<void()> on_click_;
  // Ids the server gave the notifications it still shows.
  std::set<uint> delivered_;
  // The events and tickets of those shown with events of their own, by id; as
  // many as the server shows.
  struct Own {
    uint64_t ticket;
    OwnEvents events;
  };
  std::map<uint, Own> own_;
  std::map<uint64_t, uint> ids_by_ticket_;
  // Tickets on their way to the server, and those of them withdrawn already.
  std::set<uint64_t> in_flight_;
  std::set<uint64_t> early_withdrawals_;
  uint64_t last_ticket_ = 0;
  // Counts calls of RemoveDelivered: a notification asked for before the latest
  // one is withdrawn as soon as its id is known.
  uint64_t withdrawals_ = 0;
};

#endif  // SRC_NATIVE_DESKTOP_NOTIFICATIONS_H_
