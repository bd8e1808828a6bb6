#include "native/desktop_accessibility.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#include <cstdlib>

#include "native/accessibility_switches.h"

namespace {

// The accessibility bus's launcher answers within milliseconds when it runs; a
// start must not wait on one that hangs.
constexpr int kStatusTimeoutMs = 300;

}  // namespace

bool DesktopAccessibilityEnabled(int timeout_ms) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected())
    return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
  call << QStringLiteral("org.a11y.Status");
  // The bus would start the launcher for us: a desktop without it runs no
  // assistive technology.
  call.setAutoStartService(false);
  const QDBusMessage reply = bus.call(call, QDBus::Block, timeout_ms);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
    return false;
  const QVariantMap status = qdbus_cast<QVariantMap>(reply.arguments().first());
  return status.value(QStringLiteral("IsEnabled")).toBool() ||
         status.value(QStringLiteral("ScreenReaderEnabled")).toBool();
}

bool WebAccessibilityWanted() {
  switch (AccessibilityFromEnvironment(std::getenv)) {
    case AccessibilityRequest::kOn:
      return true;
    case AccessibilityRequest::kOff:
      return false;
    case AccessibilityRequest::kAskDesktop:
      break;
  }
  return DesktopAccessibilityEnabled(kStatusTimeoutMs);
}
