#include "native/external_url.h"

#include "engine/url_parts.h"

namespace {

bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSchemeChar(char c) {
  return IsAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// |text| with its percent-escapes decoded, repeatedly, so that "%2561ttach" is
// read as a mail program that decodes twice would read it; lower case.
std::string DecodedLower(std::string text) {
  for (int round = 0; round < 4; ++round) {
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
    if (!changed)
      break;
  }
  return engine::AsciiLower(std::move(text));
}

// Mail programs take further header fields from a mailto URL, and some take
// fields that name files to attach ("attach", "attachment", "file"...), which a
// page could use to have the user send away local files. Only the fields that
// compose an ordinary message pass.
bool HasOnlyMessageFields(const std::string& mailto_rest) {
  const size_t question = mailto_rest.find('?');
  // A mail program that decodes before it splits would find fields in the address.
  if (DecodedLower(mailto_rest.substr(0, question)).find_first_of("?&") !=
      std::string::npos)
    return false;
  if (question == std::string::npos)
    return true;
  const std::string query = mailto_rest.substr(question + 1);
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos)
      end = query.size();
    const std::string field = query.substr(start, end - start);
    const std::string name = DecodedLower(field.substr(0, field.find('=')));
    if (!field.empty() && name != "to" && name != "cc" && name != "bcc" &&
        name != "subject" && name != "body" && name != "in-reply-to") {
      return false;
    }
    start = end + 1;
  }
  return true;
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
    return HasOnlyMessageFields(url.substr(colon + 1));
  // "http:/path" and "http:///path" name no server to open.
  return (scheme == "http" || scheme == "https") &&
         !HostOf(url.substr(colon + 1)).empty();
}
