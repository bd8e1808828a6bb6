#include "resources/mime_types.h"

namespace {

struct MimeEntry {
  const char* suffix;
  const char* mime_type;
};

// Tried in this order; the first suffix that matches decides.
constexpr MimeEntry kMimeTable[] = {
    {".html", "text/html"},
    {".css", "text/css"},
    {".jpg", "image/jpeg"},
    {".js", "application/javascript"},
    {".png", "image/png"},
    {".gif", "image/gif"},
    {".map", "application/octet-stream"},
    // The engine refuses these three under any other type: a module script must be
    // JavaScript, an <img> shows SVG only as image/svg+xml, and
    // WebAssembly.instantiateStreaming takes application/wasm alone.
    {".mjs", "text/javascript"},
    {".svg", "image/svg+xml"},
    {".wasm", "application/wasm"},
};

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::string MimeTypeForPath(const std::string& path) {
  for (const MimeEntry& entry : kMimeTable) {
    if (EndsWith(path, entry.suffix))
      return entry.mime_type;
  }
  return "text/plain";
}
