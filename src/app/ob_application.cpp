#include "app/ob_application.h"

#include <QIcon>

OBApplication::OBApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setOrganizationName(QStringLiteral("Lumio"));
  setApplicationName(QStringLiteral("Lumio"));
  setDesktopFileName(QStringLiteral("lumio"));
  // Hiding or closing the last window never ends the program; only the quit
  // sequence does.
  setQuitOnLastWindowClosed(false);
  // The icon installed beside the program, or the theme's.
  const QString icon = applicationDirPath() +
                       QStringLiteral("/../share/icons/hicolor/256x256/apps/lumio.png");
  setWindowIcon(QIcon::fromTheme(QStringLiteral("lumio"), QIcon(icon)));
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

bool OBApplication::event(QEvent* event) {
  // QCoreApplication::quit and the session manager's "die" arrive as this event.
  // Qt's own handling would close every window and end the loop at once; the page
  // gets its grace period instead.
  if (event->type() == QEvent::Quit) {
    event->ignore();
    terminate();
    return true;
  }
  return QApplication::event(event);
}
