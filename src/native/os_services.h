// Small questions to the desktop and the user's login items. All are called on the
// UI thread, keep no state and report nothing back unless they return a value.
#ifndef SRC_NATIVE_OS_SERVICES_H_
#define SRC_NATIVE_OS_SERVICES_H_

#include <cstdint>
#include <string>

#include <QString>

// Engine text (UTF-8) as a Qt string: the one conversion wherever engine text
// reaches Qt.
QString ToQString(const std::string& text);

// Hands |url| to the desktop's default handler when IsExternalBrowserUrl allows it
// and Qt reads it as a valid URL; anything else opens nothing. Three launches at
// once, then about one a second: the rest are dropped, with a line on standard
// error when dropping starts (the one state kept here).
void OSOpenExternalBrowser(const std::string& url);

// Milliseconds since the user's last input; 0 when no source answers.
int32_t OSGetUserIdleTime();

// Login items of this very lumio-app in $XDG_CONFIG_HOME/autostart (see autostart.h).
// Registering is false when no entry counts afterwards; unregistering is false when
// one still does.
bool OSIsStartupAppRegistered();
bool OSRegisterStartupApp();
bool OSUnregisterStartupApp();

// The host name up to its first dot; empty when there is none.
std::string OSGetComputerName();

// The engine's user-interface locale for the user's language: "ko", "ja", "th",
// "zh-CN", "zh-TW" or "en".
std::string OSGetPreferredLocale();

#endif  // SRC_NATIVE_OS_SERVICES_H_
