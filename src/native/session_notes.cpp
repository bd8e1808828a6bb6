#include "native/session_notes.h"

#include <QGuiApplication>
#include <cstdio>
#include <set>

#include "engine/thread_check.h"

bool OnWaylandPlatform() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void SayOnce(const std::string& text) {
  LUMIO_ASSERT_UI_THREAD();
  static std::set<std::string> said;
  if (!said.insert(text).second)
    return;
  std::fprintf(stderr, "lumio-app: %s\n", text.c_str());
}
