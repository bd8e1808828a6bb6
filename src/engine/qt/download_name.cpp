#include "engine/qt/download_name.h"

#include "engine/url_parts.h"

namespace engine {
namespace {

constexpr size_t kMaxNameBytes = 200;
constexpr char kFallbackName[] = "download";

// U+202A-U+202E and U+2066-U+2069 reorder what the dialog shows ("exe.pdf").
bool IsBidiControlAt(const std::string& text, size_t i) {
  if (i + 2 >= text.size() || static_cast<unsigned char>(text[i]) != 0xE2)
    return false;
  const auto b1 = static_cast<unsigned char>(text[i + 1]);
  const auto b2 = static_cast<unsigned char>(text[i + 2]);
  return (b1 == 0x80 && b2 >= 0xAA && b2 <= 0xAE) ||
         (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9);
}

bool IsUtf8Continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string SafeDownloadName(const std::string& suggested) {
  std::string name = suggested;
  // Bounded: each round shortens the text.
  while (PercentDecodeOnce(name)) {
  }
  const size_t separator = name.find_last_of("/\\");
  if (separator != std::string::npos)
    name.erase(0, separator + 1);

  std::string clean;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (byte < 0x20 || byte == 0x7F)
      continue;
    if (IsBidiControlAt(name, i)) {
      i += 2;
      continue;
    }
    clean += name[i];
  }
  const size_t first = clean.find_first_not_of(". ");
  if (first == std::string::npos)
    return kFallbackName;
  const size_t last = clean.find_last_not_of(". ");
  clean = clean.substr(first, last - first + 1);

  if (clean.size() > kMaxNameBytes) {
    // Keep the end, which holds the extension, and cut at a character boundary.
    size_t cut = clean.size() - kMaxNameBytes;
    while (cut < clean.size() && IsUtf8Continuation(clean[cut]))
      ++cut;
    clean.erase(0, cut);
    const size_t start = clean.find_first_not_of(". ");
    if (start == std::string::npos)
      return kFallbackName;
    clean.erase(0, start);
  }
  return clean;
}

}  // namespace engine
