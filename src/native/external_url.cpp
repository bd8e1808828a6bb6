#include "native/external_url.h"

#include "engine/url_parts.h"

namespace {

bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSchemeChar(char c) {
  return IsAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The host of "//userinfo@host:port/path": "" when there is none.
std::string HostOf(const std::string& hierarchical_part) {
  if (hierarchical_part.compare(0, 2, "//") != 0)
    return {};
  const size_t end = hierarchical_part.find_first_of("/?#", 2);
  std::string authority =
      hierarchical_part.substr(2, end == std::string::npos ? std::string::npos : end - 2);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos)
    authority.erase(0, at + 1);
  if (!authority.empty() && authority[0] == '[')
    return authority.substr(0, authority.find(']') + 1);
  return authority.substr(0, authority.find(':'));
}

}  // namespace

bool IsExternalBrowserUrl(const std::string& url) {
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '\\')
      return false;
  }
  const size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0 || !IsAsciiAlpha(url[0]))
    return false;
  for (size_t i = 1; i < colon; ++i) {
    if (!IsSchemeChar(url[i]))
      return false;
  }
  const std::string scheme = engine::AsciiLower(url.substr(0, colon));
  if (scheme == "mailto")
    return true;
  // "http:/path" and "http:///path" name no server to open.
  return (scheme == "http" || scheme == "https") &&
         !HostOf(url.substr(colon + 1)).empty();
}
