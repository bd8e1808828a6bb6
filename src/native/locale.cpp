#include "native/locale.h"

std::string PreferredLocaleFor(const std::string& language_code,
                               const std::string& script_code) {
  if (language_code == "ko" || language_code == "ja" || language_code == "th")
    return language_code;
  if (language_code == "zh")
    return script_code == "Hans" ? "zh-CN" : "zh-TW";
  return "en";
}
