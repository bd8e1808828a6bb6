// Small questions to the desktop.
#ifndef SRC_NATIVE_OS_SERVICES_H_
#define SRC_NATIVE_OS_SERVICES_H_

#include <string>

// The engine's user-interface locale for the user's language: "ko", "ja", "th",
// "zh-CN", "zh-TW" or "en".
std::string OSGetPreferredLocale();

#endif  // SRC_NATIVE_OS_SERVICES_H_
