#include "app/ob_application.h"

#include <QApplication>
#include <QIcon>

OBApplication::OBApplication(const AppIdentity& identity) {
  // The settings' folder ($XDG_CONFIG_HOME/<folder>/<name>.conf) and the name that
  // notifications and the tray icon show.
  QCoreApplication::setOrganizationName(QString::fromStdString(identity.folder));
  QCoreApplication::setApplicationName(QString::fromStdString(identity.name));
  QCoreApplication::setApplicationVersion(QString::fromStdString(identity.version));
  const QString desktop_id = QString::fromStdString(identity.desktop_id);
  QGuiApplication::setDesktopFileName(desktop_id);
  // Hiding or closing the last window never ends the program; only the quit
  // sequence does.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  // The icon installed beside the program, or the theme's.
  const QString icon = QCoreApplication::applicationDirPath() +
                       QStringLiteral("/../share/icons/hicolor/256x256/apps/") +
                       desktop_id + QStringLiteral(".png");
  QGuiApplication::setWindowIcon(QIcon::fromTheme(desktop_id, QIcon(icon)));
  QCoreApplication::instance()->installEventFilter(this);
}

void OBApplication::setDelegate(OBApplicationDelegate* delegate) {
  delegate_ = delegate;
  if (delegate_ && termination_pending_) {
    termination_pending_ = false;
    delegate_->tryToTerminateApplication(this);
  }
}

void OBApplication::terminate() {
  if (delegate_)
    delegate_->tryToTerminateApplication(this);
  else
    termination_pending_ = true;
}

bool OBApplication::eventFilter(QObject* watched, QEvent* event) {
  // QCoreApplication::quit and the session manager's "die" arrive as this event
  // at the application object. Qt's own handling would close every window and end
  // the loop at once; the page gets its grace period instead.
  if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
    event->ignore();
    terminate();
    return true;
  }
  return false;
}
