#include "engine/qt/qt_accessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

namespace engine {
namespace {

QList<QWindow*> WindowsOnScreen() {
  QList<QWindow*> windows;
  for (QWindow* window : QGuiApplication::topLevelWindows()) {
    // Menus and tooltips belong to the window they come from. A window drawn
    // off screen (the engine's, into a view) has no window of the desktop.
    const Qt::WindowType type = window->type();
    if (window->isVisible() && window->handle() && type != Qt::Popup &&
        type != Qt::ToolTip && type != Qt::Desktop)
      windows.append(window);
  }
  return windows;
}

class ApplicationAccessible : public QAccessibleObject {
 public:
  explicit ApplicationAccessible(QObject* application) : QAccessibleObject(application) {}

  QWindow* window() const override { return nullptr; }
  QAccessibleInterface* parent() const override { return nullptr; }
  int childCount() const override { return static_cast<int>(WindowsOnScreen().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QWindow*> windows = WindowsOnScreen();
    return index >= 0 && index < windows.size() ? windows[index]->accessibleRoot()
                                                : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const QList<QWindow*> windows = WindowsOnScreen();
    for (int i = 0; i < windows.size(); ++i) {
      if (windows[i]->accessibleRoot() == child)
        return i;
    }
    return -1;
  }
  QAccessibleInterface* focusChild() const override {
    QWindow* window = QGuiApplication::focusWindow();
    return window ? window->accessibleRoot() : nullptr;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name)
      return QGuiApplication::applicationDisplayName();
    if (t == QAccessible::Description)
      return QCoreApplication::applicationVersion();
    return {};
  }
  QAccessible::Role role() const override { return QAccessible::Application; }
  QAccessible::State state() const override { return {}; }
};

QAccessibleInterface* ApplicationFactory(const QString& class_name, QObject* object) {
  if (object && object == QCoreApplication::instance() &&
      class_name == QLatin1String(object->metaObject()->className()))
    return new ApplicationAccessible(object);
  return nullptr;
}

}  // namespace

void InstallApplicationAccessibility() {
  QAccessible::installFactory(&ApplicationFactory);
}

}  // namespace engine
