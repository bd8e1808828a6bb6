#include "native/browser_window.h"

#include <QLockFile>
#include <QSettings>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// QSettings writes under a lock file beside the settings, and waits for it without
// end while that file exists and cannot be taken: a lock it cannot remove as
// stale, one left by another machine, a folder in its place. The window, and the
// quit that saves it, would wait as long. A save waits this long instead; a writer
// holds the lock for a few milliseconds.
constexpr int kSettingsLockTimeoutMs = 250;

// The place goes unsaved, which costs the user only the window's place at the
// next start; the program goes on. Said on the standard error, as nothing else
// would tell.
void ReportUnsaved(const QSettings& settings, const char* reason) {
  std::fprintf(stderr, "lumio-app: could not save the main window's place in %s (%s)\n",
               settings.fileName().toLocal8Bit().constData(), reason);
}

}  // namespace

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
  QLockFile lock(settings.fileName() + QStringLiteral(".lock"));
  if (lock.tryLock(kSettingsLockTimeoutMs)) {
    lock.unlock();
  } else if (lock.error() == QLockFile::LockFailedError) {
    ReportUnsaved(settings, "its lock file is taken");
    return;
  }
  // Any other error of the lock (its folder not made yet, or not writable) is
  // QSettings' to meet: it makes the folder, or fails at once.
  settings.setValue(autosave_name_, saveGeometry());
  settings.sync();
  if (settings.status() == QSettings::AccessError)
    ReportUnsaved(settings, "it cannot be written");
  else if (settings.status() == QSettings::FormatError)
    ReportUnsaved(settings, "it cannot be read");
}

KeyableWindow::KeyableWindow(Qt::WindowFlags flags) : BrowserWindow(flags) {
  setFocusPolicy(Qt::StrongFocus);
}
