#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QVariantMap>
#include <algorithm>

#include "app/app_identity.h"

namespace {

constexpr char kInterface[] = "org.freedesktop.Application";

// How long a later start waits for the first to answer or to finish quitting: the
// longest quit is the grace period, a page hanging in beforeunload and unload
// (10 s and 5 s) and the engine's shutdown.
constexpr int kGiveUpAfterMs = 30000;
constexpr int kAskTimeoutMs = 5000;
constexpr int kRetryPauseMs = 100;
// A request is one short line; anything longer is not ours.
constexpr qint64 kMaxRequestBytes = 64;
// Later starts ask one at a time; a program that holds connections open is not one.
constexpr int kMaxConnections = 8;
constexpr int kConnectionLifetimeMs = 1000;

// Whether a session bus is there to connect to. Without one libdbus would start a
// bus of its own for the X display (autolaunch), which outlives the program.
bool SessionBusAvailable() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
    return true;
  // libdbus's own fallback: the user bus of systemd.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

QString SocketPath() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime))
    return {};
  return runtime + QLatin1Char('/') + QString::fromStdString(InstanceSocketName());
}

// org.freedesktop.Application as far as a second start needs it: Activate only.
class ApplicationObject : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
 public:
  ApplicationObject(std::function<bool()> on_reopen,
                    const AppIdentity& identity,
                    QObject* parent)
      : QObject(parent),
        on_reopen_(std::move(on_reopen)),
        quitting_error_(QString::fromStdString(identity.bus_name + ".Error.Quitting")),
        quitting_message_(QString::fromStdString(identity.name + " is quitting")) {}

 public slots:
  Q_SCRIPTABLE void Activate(const QVariantMap& platform_data) {
    if (!on_reopen_())
      sendErrorReply(quitting_error_, quitting_message_);
  }

 private:
  std::function<bool()> on_reopen_;
  const QString quitting_error_;
  const QString quitting_message_;
};

}  // namespace

SingleInstance::SingleInstance(const QString& cache_path, const AppIdentity& identity)
    : identity_(identity),
      bus_name_(QString::fromStdString(identity.bus_name)),
      object_path_(QString::fromStdString(identity.object_path)),
      lock_path_(QDir::cleanPath(cache_path) + QStringLiteral(".lock")),
      socket_path_(SocketPath()),
      use_bus_(SessionBusAvailable() && QDBusConnection::sessionBus().isConnected()),
      reopens_(1, std::chrono::milliseconds(kReopenIntervalMs)) {}

SingleInstance::~SingleInstance() {
  if (bus_name_owned_) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(bus_name_);
    bus.unregisterObject(object_path_);
  }
  if (server_)
    server_->close();  // removes the socket file
  if (lock_fd_ >= 0)
    close(lock_fd_);
}

SingleInstance::Claim SingleInstance::ClaimOrHandOver(std::function<bool()> is_quitting,
                                                      std::function<void()> reopen) {
  is_quitting_ = std::move(is_quitting);
  reopen_ = std::move(reopen);
  const QDeadlineTimer deadline(kGiveUpAfterMs);
  while (true) {
    if (TryLock()) {
      Listen();
      return Claim::kFirst;
    }
    if (!use_bus_ && socket_path_.isEmpty())
      return Claim::kUnreachable;  // no way to reach the other one
    const int timeout = static_cast<int>(
        std::min<qint64>(kAskTimeoutMs, std::max<qint64>(deadline.remainingTime(), 1)));
    if (AskToReopen(timeout))
      return Claim::kHandedOver;
    // Quitting, or not listening yet, or gone a moment ago: the lock tells.
    if (deadline.hasExpired())
      return Claim::kUnreachable;
    QThread::msleep(kRetryPauseMs);
  }
}

bool SingleInstance::TryLock() {
  if (lock_fd_ < 0) {
    QDir().mkpath(QFileInfo(lock_path_).absolutePath());
    lock_fd_ = open(QFile::encodeName(lock_path_).constData(),
                    O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file that cannot be made (a read-only home, say) protects nothing;
    // the engine will find the same trouble with its cache.
    if (lock_fd_ < 0)
      return true;
  }
  return flock(lock_fd_, LOCK_EX | LOCK_NB) == 0;
}

void SingleInstance::Listen() {
  if (!use_bus_) {
    ListenOnSocket();
    return;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  // The object first, so that a call made as soon as the name is ours finds it.
  auto* object = new ApplicationObject([this] { return Reopen(); }, identity_, this);
  if (!bus.registerObject(object_path_, object, QDBusConnection::ExportScriptableSlots)) {
    return;
  }
  bus_name_owned_ = bus.registerService(bus_name_);
  if (!bus_name_owned_)
    bus.unregisterObject(object_path_);
}

void SingleInstance::ListenOnSocket() {
  if (socket_path_.isEmpty())
    return;
  // A socket that answers belongs to a live instance of another cache; one that
  // does not was left by an instance that died.
  QLocalSocket probe;
  probe.connectToServer(socket_path_);
  if (probe.waitForConnected(kAskTimeoutMs)) {
    probe.abort();
    return;
  }
  QLocalServer::removeServer(socket_path_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socket_path_)) {
    delete server_;
    server_ = nullptr;
    return;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      // Any local program of this user may connect: a few at a time, each for
      // about a second, so that idle connections cannot use up descriptors.
      if (connections_ >= kMaxConnections) {
        socket->abort();
        socket->deleteLater();
        continue;
      }
      ++connections_;
      connect(socket, &QObject::destroyed, this, [this] { --connections_; });
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QTimer::singleShot(kConnectionLifetimeMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
      });
      connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (!socket->canReadLine()) {
          if (socket->bytesAvailable() > kMaxRequestBytes)
            socket->abort();
          return;
        }
        if (socket->readLine(kMaxRequestBytes).trimmed() == "reopen")
          socket->write(Reopen() ? "ok\n" : "quitting\n");
        socket->disconnectFromServer();
      });
    }
  });
}

bool SingleInstance::Reopen() {
  if (is_quitting_())
    return false;
  // A burst of requests (from a script, or another program) shows the window
  // once; requests during the pause after a show are merged into one more show
  // at its end, so that none is lost.
  if (reopen_pending_)
    return true;
  if (reopens_.Allow(RateLimit::Clock::now())) {
    reopen_();
    return true;
  }
  reopen_pending_ = true;
  QTimer::singleShot(kReopenIntervalMs, this, [this] {
    reopen_pending_ = false;
    if (!is_quitting_() && reopens_.Allow(RateLimit::Clock::now()))
      reopen_();
  });
  return true;
}

bool SingleInstance::AskToReopen(int timeout_ms) {
  return use_bus_ ? AskOverBus(timeout_ms) : AskOverSocket(timeout_ms);
}

bool SingleInstance::AskOverBus(int timeout_ms) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      bus_name_, object_path_, QLatin1String(kInterface), QStringLiteral("Activate"));
  call << QVariantMap();
  const QDBusMessage reply =
      QDBusConnection::sessionBus().call(call, QDBus::Block, timeout_ms);
  return reply.type() == QDBusMessage::ReplyMessage;
}

bool SingleInstance::AskOverSocket(int timeout_ms) {
  QLocalSocket socket;
  socket.connectToServer(socket_path_);
  if (!socket.waitForConnected(timeout_ms))
    return false;
  socket.write("reopen\n");
  if (!socket.waitForBytesWritten(timeout_ms))
    return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeout_ms))
      return false;
  }
  return socket.readLine(kMaxRequestBytes).trimmed() == "ok";
}

#include "single_instance.moc"
