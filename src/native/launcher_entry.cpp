#include "native/launcher_entry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>

void LauncherEntrySetCount(std::optional<int32_t> count) {
  // Launchers match the entry by the desktop file's id, not by the sender or the
  // path.
  const QString app_uri =
      QStringLiteral("application://%1.desktop").arg(QGuiApplication::desktopFileName());
  QVariantMap properties;
  properties.insert(QStringLiteral("count"),
                    QVariant::fromValue<qint64>(count.value_or(0)));
  properties.insert(QStringLiteral("count-visible"), count.has_value());
  QDBusMessage signal = QDBusMessage::createSignal(
      QStringLiteral("/com/canonical/unity/launcherentry/lumio"),
      QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
  signal << app_uri << properties;
  QDBusConnection::sessionBus().send(signal);
}
