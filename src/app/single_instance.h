// One lumio-app per engine cache, and a second start that brings the first back.
//
// The first lumio-app to start holds a lock file beside the engine's cache folder
// ("<cache>.lock", flock) until the engine has shut down, and listens for later
// starts: on the session bus under the name org.lumio.Lumio, object /org/lumio/Lumio,
// method org.freedesktop.Application.Activate; without a session bus, on the socket
// $XDG_RUNTIME_DIR/lumio.socket (one line "reopen" in, "ok" or "quitting" out; at
// most a few connections at a time, each closed after about a second).
//
// A later start finds the lock taken, asks the first to reopen and ends, having
// touched neither the engine nor its cache. While the first is quitting it answers
// "quitting", and the later start waits for the lock to come free, then runs on its
// own. The kernel drops the lock and the bus drops the name of a process that dies,
// however it dies; a socket file left behind is replaced by the next first
// instance. An instance whose cache differs but which shares the bus or the runtime
// folder runs unreachable, so that starts go to the one that was there before.
//
// UI thread; needs the application object, not the engine.
#ifndef SRC_APP_SINGLE_INSTANCE_H_
#define SRC_APP_SINGLE_INSTANCE_H_

#include <QObject>
#include <QString>
#include <functional>

#include "native/app_identity.h"
#include "native/rate_limit.h"

class QLocalServer;

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Claim {
    // No other instance runs on this cache: this one goes on, and listens.
    kFirst,
    // The instance already running was asked to reopen and did.
    kHandedOver,
    // An instance runs on this cache but did not answer in time.
    kUnreachable,
  };

  // Named after |identity|: programs of other ids never meet.
  SingleInstance(const QString& cache_path, const AppIdentity& identity);
  // Lets go of the name, the socket and, last, the lock: only once the engine has
  // shut down.
  ~SingleInstance() override;

  // Becomes the first instance or hands over to it; waits while the one running is
  // quitting. Later starts are answered from the message loop: "quitting" while
  // |is_quitting| says so, else |reopen| shows the program, at most once per
  // kReopenIntervalMs however many starts ask (the rest are merged into one).
  Claim ClaimOrHandOver(std::function<bool()> is_quitting, std::function<void()> reopen);

  static constexpr int kReopenIntervalMs = 500;

 private:
  bool TryLock();
  void Listen();
  // True when the instance running reopened; false when it is quitting, is not
  // listening (yet, or any more) or did not answer.
  bool AskToReopen(int timeout_ms);
  bool AskOverBus(int timeout_ms);
  bool AskOverSocket(int timeout_ms);
  void ListenOnSocket();
  // A later start's request: false when quitting.
  bool Reopen();

  const AppIdentity identity_;
  const QString bus_name_;
  const QString object_path_;
  const QString lock_path_;
  const QString socket_path_;  // empty without a runtime folder
  const bool use_bus_;
  int lock_fd_ = -1;
  bool bus_name_owned_ = false;
  QLocalServer* server_ = nullptr;  // a child of this object
  int connections_ = 0;             // open connections of the socket
  std::function<bool()> is_quitting_;
  std::function<void()> reopen_;
  RateLimit reopens_;
  bool reopen_pending_ = false;
};

#endif  // SRC_APP_SINGLE_INSTANCE_H_
