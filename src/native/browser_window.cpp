#include "native/browser_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryFile>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// QSettings writes under a lock file beside the settings, and waits for it without
// end while that file exists and cannot be taken: a lock it cannot remove as
// stale, one left by another machine, a folder in its place, or one that another
// program took a moment ago. The window, and the quit that saves it, would wait
// as long. So a save takes that lock itself, waiting this long at most, holds it
// for the whole write, and never lets QSettings write the file; a writer holds
// the lock for a few milliseconds.
constexpr int kSettingsLockTimeoutMs = 250;

// The place goes unsaved, which costs the user only the window's place at the
// next start; the program goes on. Said on the standard error, as nothing else
// would tell.
void ReportUnsaved(const QString& path, const char* reason) {
  std::fprintf(stderr, "lumio-app: could not save the main window's place in %s (%s)\n",
               path.toLocal8Bit().constData(), reason);
}

// Copies the settings at |path| (if any) to |copy|, which is open and empty.
bool CopySettings(const QString& path, QTemporaryFile& copy) {
  QFile current(path);
  if (!current.exists())
    return true;
  if (!current.open(QIODevice::ReadOnly))
    return false;
  const QByteArray content = current.readAll();
  return current.error() == QFileDevice::NoError &&
         copy.write(content) == content.size() &&
         copy.setPermissions(current.permissions());
}

// A browser window is what screen readers call a frame, named by its title; Qt
// takes a plain top-level widget for a nameless filler.
QAccessibleInterface* BrowserWindowAccessible(const QString& class_name,
                                              QObject* object) {
  if (class_name == QLatin1String("BrowserWindow") && object && object->isWidgetType())
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  return nullptr;
}

}  // namespace

BrowserWindow::BrowserWindow(Qt::WindowFlags flags) : QWidget(nullptr, flags) {
  static const bool accessible_installed =
      (QAccessible::installFactory(&BrowserWindowAccessible), true);
  (void)accessible_installed;
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
  const QString path = QSettings().fileName();
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    ReportUnsaved(path, "its folder cannot be made");
    return;
  }
  QLockFile lock(path + QStringLiteral(".lock"));
  if (!lock.tryLock(kSettingsLockTimeoutMs)) {
    ReportUnsaved(path, lock.error() == QLockFile::LockFailedError
                            ? "its lock file is taken"
                            : "it cannot be written");
    return;
  }
  // A copy beside the file takes the change through QSettings, in the same format
  // (on Unix the native format is the INI one), and replaces the file in one step.
  // QSettings locks the copy, which nobody else knows of. A settings file that is
  // a link stays one.
  const QFileInfo info(path);
  const QString target = info.isSymLink() ? info.symLinkTarget() : path;
  QTemporaryFile copy(target + QStringLiteral(".XXXXXX"));
  if (!copy.open() || !CopySettings(target, copy)) {
    ReportUnsaved(path, "it cannot be copied");
    return;
  }
  copy.close();
  {
    QSettings settings(copy.fileName(), QSettings::IniFormat);
    settings.setValue(autosave_name_, saveGeometry());
    settings.sync();
    if (settings.status() == QSettings::AccessError) {
      ReportUnsaved(path, "it cannot be written");
      return;
    }
    if (settings.status() == QSettings::FormatError) {
      ReportUnsaved(path, "it cannot be read");
      return;
    }
  }
  if (std::rename(QFile::encodeName(copy.fileName()).constData(),
                  QFile::encodeName(target).constData()) != 0) {
    ReportUnsaved(path, "it cannot be replaced");
    return;
  }
  copy.setAutoRemove(false);  // it is the settings file now
}

KeyableWindow::KeyableWindow(Qt::WindowFlags flags) : BrowserWindow(flags) {
  setFocusPolicy(Qt::StrongFocus);
}
