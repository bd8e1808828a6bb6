#include "app/dev_server_url.h"

#include <cctype>
#include <string_view>

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool AllDigits(std::string_view text) {
  if (text.empty())
    return false;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
  }
  return true;
}

// Four decimal parts of 0-255 without leading zeros (which some parsers read as
// octal), the first 127.
bool IsLoopbackIPv4(std::string_view host) {
  int parts = 0;
  while (true) {
    const size_t dot = host.find('.');
    const std::string_view part = host.substr(0, dot);
    if (!AllDigits(part) || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
      return false;
    const int value = std::stoi(std::string(part));
    if (value > 255 || (parts == 0 && value != 127))
      return false;
    ++parts;
    if (dot == std::string_view::npos)
      break;
    host.remove_prefix(dot + 1);
  }
  return parts == 4;
}

}  // namespace

bool ParseDevServerUrl(const std::string& text,
                       DevServerUrl& result,
                       std::string& error) {
  const size_t scheme_end = text.find("://");
  const std::string scheme =
      scheme_end == std::string::npos ? std::string() : Lower(text.substr(0, scheme_end));
  if (scheme != "http" && scheme != "https") {
    error = "not an http or https address";
    return false;
  }
  const size_t authority_start = scheme_end + 3;
  const size_t authority_end = text.find_first_of("/?#", authority_start);
  const std::string authority =
      text.substr(authority_start, authority_end - authority_start);
  if (authority.find('@') != std::string::npos ||
      authority.find('\\') != std::string::npos) {
    error = "an address with a user name or password";
    return false;
  }
  for (char c : authority) {
    if (std::isspace(static_cast<unsigned char>(c)) ||
        std::iscntrl(static_cast<unsigned char>(c))) {
      error = "an address with spaces or control characters";
      return false;
    }
  }
  std::string host = authority;
  std::string port;
  const size_t colon = host.rfind(':');
  if (colon != std::string::npos && host.find(']', colon) == std::string::npos) {
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
    if (!AllDigits(port) || port.size() > 5 || std::stoi(port) > 65535) {
      error = "not a valid port";
      return false;
    }
  }
  host = Lower(host);
  if (host != "localhost" && host != "[::1]" && !IsLoopbackIPv4(host)) {
    error = "not a loopback address (localhost, 127.0.0.0/8 or [::1])";
    return false;
  }
  // The engine leaves the scheme's default port out of an origin.
  const std::string default_port = scheme == "http" ? "80" : "443";
  while (port.size() > 1 && port[0] == '0')
    port.erase(0, 1);
  result.origin =
      scheme + "://" + host + (port.empty() || port == default_port ? "" : ":" + port);
  result.url =
      text.substr(0, authority_start) + authority +
      (authority_end == std::string::npos || text[authority_end] != '/' ? "/" : "") +
      (authority_end == std::string::npos ? "" : text.substr(authority_end));
  return true;
}
