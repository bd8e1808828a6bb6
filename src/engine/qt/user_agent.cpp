#include "engine/qt/user_agent.h"

namespace {

// Position of the first token that starts with |prefix| (at the start of the string
// or after a space, so "HeadlessChrome/" is not "Chrome/"), or npos.
size_t FindToken(const std::string& s, const std::string& prefix) {
  for (size_t pos = s.find(prefix); pos != std::string::npos;
       pos = s.find(prefix, pos + 1)) {
    if (pos == 0 || s[pos - 1] == ' ')
      return pos;
  }
  return std::string::npos;
}

size_t TokenEnd(const std::string& s, size_t start) {
  const size_t space = s.find(' ', start);
  return space == std::string::npos ? s.size() : space;
}

}  // namespace

std::string UserAgentWithProduct(const std::string& default_user_agent,
                                 const std::string& product) {
  if (product.empty())
    return default_user_agent;
  std::string ua = default_user_agent;

  const size_t engine = FindToken(ua, "QtWebEngine/");
  if (engine != std::string::npos) {
    size_t begin = engine;
    size_t end = TokenEnd(ua, engine);
    // Take one separating space with it: the one before, or after when first.
    if (begin > 0)
      --begin;
    else if (end < ua.size())
      ++end;
    ua.erase(begin, end - begin);
  }

  const size_t chrome = FindToken(ua, "Chrome/");
  if (chrome != std::string::npos)
    return ua.replace(chrome, TokenEnd(ua, chrome) - chrome, product);

  const size_t safari = ua.find(" Safari/");
  if (safari != std::string::npos)
    return ua.insert(safari, " " + product);
  return ua.empty() ? product : ua + " " + product;
}
