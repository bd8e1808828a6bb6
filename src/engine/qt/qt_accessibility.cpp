#include "engine/qt/qt_accessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWebEngineView>
#include <QWidget>
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

// The web view that |object| belongs to, when it is one of the engine's widgets
// inside a view.
QWebEngineView* ViewOf(QObject* object) {
  for (QObject* o = object; o; o = o->parent()) {
    if (auto* view = qobject_cast<QWebEngineView*>(o))
      return view;
  }
  return nullptr;
}

// The control that has the focus inside |view|'s page, or null when none has.
QAccessibleInterface* FocusedInPage(QWebEngineView* view) {
  QAccessibleInterface* focused = QAccessible::queryAccessibleInterface(view);
  for (int depth = 0; focused && depth < 256; ++depth) {
    QAccessibleInterface* inner = focused->focusChild();
    if (!inner || inner == focused)
      break;
    focused = inner;
  }
  if (!focused || !focused->object() || focused->object()->isWidgetType())
    return nullptr;  // a widget of the view, not a node of the page
  if (focused->role() == QAccessible::Document ||
      focused->role() == QAccessible::WebDocument)
    return nullptr;
  return focused;
}

// The last object announced as focused; only touched on the UI thread.
QAccessible::Id g_last_focus = 0;

// Every accessibility update goes to Qt's bridge, but one: when a view's widget
// gets the focus (its window is activated again, a popup has closed), Qt would
// announce that nameless widget; the control focused in the page is announced
// instead, as the focus really is there, unless it was just announced.
void UpdateThroughPage(QAccessibleEvent* event) {
  QAccessibleInterface* focused = nullptr;
  if (event->type() == QAccessible::Focus) {
    if (QWebEngineView* view = ViewOf(event->object()))
      focused = FocusedInPage(view);
    if (focused && QAccessible::uniqueId(focused) == g_last_focus)
      return;
    if (QAccessibleInterface* target = focused ? focused : event->accessibleInterface())
      g_last_focus = QAccessible::uniqueId(target);
  }
  QAccessible::installUpdateHandler(nullptr);
  if (focused) {
    QAccessibleEvent page_focus(focused, QAccessible::Focus);
    QAccessible::updateAccessibility(&page_focus);
  } else {
    QAccessible::updateAccessibility(event);
  }
  QAccessible::installUpdateHandler(&UpdateThroughPage);
}

QAccessibleInterface* ApplicationFactory(const QString& class_name, QObject* object) {
  if (object && object == QCoreApplication::instance() &&
      class_name == QLatin1String(object->metaObject()->className()))
    return new ApplicationAccessible(object);
  return nullptr;
}

}  // namespace

void InstallApplicationAccessibility() {
  QAccessible::installFactory(&ApplicationFactory);
  QAccessible::installUpdateHandler(&UpdateThroughPage);
}

}  // namespace engine
