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
