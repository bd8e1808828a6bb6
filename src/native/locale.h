// The user-interface locale given to the engine, chosen from the user's language and
// script codes (ISO 639 language, ISO 15924 script, e.g. "zh" and "Hans").
#ifndef SRC_NATIVE_LOCALE_H_
#define SRC_NATIVE_LOCALE_H_

#include <string>

// "ko", "ja" and "th" for those languages; Chinese gives "zh-CN" in Simplified
// script and "zh-TW" in any other or none; every other language gives "en". Codes
// are compared exactly.
std::string PreferredLocaleFor(const std::string& language_code,
                               const std::string& script_code);

#endif  // SRC_NATIVE_LOCALE_H_
