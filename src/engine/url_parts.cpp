#include "engine/url_parts.h"

#include <cctype>

namespace engine {
namespace {

bool IsSchemeChar(char c, bool first) {
  if (std::isalpha(static_cast<unsigned char>(c)))
    return true;
  return !first && (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' ||
                    c == '.');
}

}  // namespace

bool ParseURL(const std::string& url, URLParts& parts) {
  parts = URLParts();
  const size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0)
    return false;
  for (size_t i = 0; i < colon; ++i) {
    if (!IsSchemeChar(url[i], i == 0))
      return false;
  }
  parts.scheme = AsciiLower(url.substr(0, colon));

  std::string rest = url.substr(colon + 1);
  const size_t hash = rest.find('#');
  if (hash != std::string::npos) {
    parts.fragment = rest.substr(hash + 1);
    rest.erase(hash);
  }
  const size_t question = rest.find('?');
  if (question != std::string::npos) {
    parts.query = rest.substr(question + 1);
    rest.erase(question);
  }

  if (rest.compare(0, 2, "//") != 0) {
    parts.path = rest;
    return true;
  }
  rest.erase(0, 2);
  const size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  parts.path = slash == std::string::npos ? "/" : rest.substr(slash);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos)
    authority.erase(0, at + 1);
  const size_t port_colon = authority.rfind(':');
  if (port_colon != std::string::npos &&
      authority.find(']', port_colon) == std::string::npos) {
    parts.port = authority.substr(port_colon + 1);
    authority.erase(port_colon);
  }
  parts.host = AsciiLower(authority);
  return true;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

}  // namespace

bool PercentDecodeOnce(std::string& text) {
  std::string decoded;
  bool changed = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
      changed = true;
    } else {
      decoded += text[i];
    }
  }
  text = std::move(decoded);
  return changed;
}

std::string URLOrigin(const std::string& url) {
  URLParts parts;
  if (!ParseURL(url, parts) || parts.host.empty())
    return "null";
  std::string origin = parts.scheme + "://" + parts.host;
  if (!parts.port.empty())
    origin += ":" + parts.port;
  return origin;
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace engine
