// Splitting of canonical URLs into their parts, for standard schemes
// ("scheme://host[:port]/path?query#fragment") and others ("about:blank").
#ifndef SRC_ENGINE_URL_PARTS_H_
#define SRC_ENGINE_URL_PARTS_H_

#include <string>

namespace engine {

struct URLParts {
  std::string scheme;  // lower case, without ":"
  std::string host;    // lower case
  std::string port;    // digits, empty when absent
  std::string path;    // "/" at least for standard URLs; escapes left as they are
  std::string query;   // without "?"
  std::string fragment;
};

// False when |url| has no scheme.
bool ParseURL(const std::string& url, URLParts& parts);

// "scheme://host[:port]" for standard URLs, "null" for anything else.
// Decodes one round of %XX escapes in |text| (malformed ones stay as they are);
// false when there was none.
bool PercentDecodeOnce(std::string& text);

std::string URLOrigin(const std::string& url);

// |text| with the ASCII letters A-Z in lower case; every other byte (UTF-8 among
// them) as it is, whatever the C locale says.
std::string AsciiLower(std::string text);

}  // namespace engine

#endif  // SRC_ENGINE_URL_PARTS_H_
