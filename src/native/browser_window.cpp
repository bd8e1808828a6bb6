#include "native/browser_window.h"

#include <QSettings>
#include <QVBoxLayout>

BrowserWindow::BrowserWindow(Qt::WindowFlags flags) : QWidget(nullptr, flags) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // Geometry changes come in bursts while the user drags; save once they settle.
  save_timer_.setSingleShot(true);
  save_timer_.setInterval(250);
  connect(&save_timer_, &QTimer::timeout, this, &BrowserWindow::SaveFrame);
}

void BrowserWindow::SetFrameAutosaveName(const QString& name) {
  autosave_name_ = name;
}

bool BrowserWindow::SetFrameUsingName(const QString& name) {
  const QByteArray saved = QSettings().value(name).toByteArray();
  return !saved.isEmpty() && restoreGeometry(saved);
}

void BrowserWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (!autosave_name_.isEmpty() && isVisible())
    save_timer_.start();
}

void BrowserWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!autosave_name_.isEmpty() && isVisible())
    save_timer_.start();
}

void BrowserWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (save_timer_.isActive()) {
    save_timer_.stop();
    SaveFrame();
  }
}

void BrowserWindow::SaveFrame() {
  if (autosave_name_.isEmpty())
    return;
  QSettings settings;
  settings.setValue(autosave_name_, saveGeometry());
  settings.sync();
}

KeyableWindow::KeyableWindow(Qt::WindowFlags flags) : BrowserWindow(flags) {
  setFocusPolicy(Qt::StrongFocus);
}
