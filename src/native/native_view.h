// The one place where the native layer turns the engine's opaque views into Qt
// widgets and back: the Qt backend makes every view a QWidget.
#ifndef SRC_NATIVE_NATIVE_VIEW_H_
#define SRC_NATIVE_NATIVE_VIEW_H_

#include <QWidget>

#include "engine/browser.h"

inline QWidget* ToWidget(engine::NativeView* view) {
  return reinterpret_cast<QWidget*>(view);
}

inline engine::NativeView* ToNativeView(QWidget* widget) {
  return reinterpret_cast<engine::NativeView*>(widget);
}

#endif  // SRC_NATIVE_NATIVE_VIEW_H_
