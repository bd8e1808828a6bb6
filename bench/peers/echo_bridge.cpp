#include "echo_bridge.h"

void EchoBridge::query(double id, const QString& request, bool echo) {
  emit response(id, true, 0, echo ? request : QStringLiteral("{}"));
}

QString EchoBridge::answer(const QString& request, bool echo) {
  return echo ? request : QStringLiteral("{}");
}
