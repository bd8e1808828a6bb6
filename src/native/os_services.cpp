#include "native/os_services.h"

#include <QLocale>

#include "native/locale.h"

std::string OSGetPreferredLocale() {
  const QLocale locale = QLocale::system();
  const QString script = locale.script() == QLocale::AnyScript
                             ? QString()
                             : QLocale::scriptToCode(locale.script());
  return PreferredLocaleFor(QLocale::languageToCode(locale.language()).toStdString(),
                            script.toStdString());
}
