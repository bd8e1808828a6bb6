// The file name a download may be offered under, whatever name the page or the
// server suggested.
#ifndef SRC_ENGINE_QT_DOWNLOAD_NAME_H_
#define SRC_ENGINE_QT_DOWNLOAD_NAME_H_

#include <string>

namespace engine {

// A bare file name (UTF-8) made from |suggested|: percent-escapes decoded (again
// and again, so that no escaped separator survives), only what follows the last
// "/" or "\", without control characters or bidirectional overrides, without
// leading dots (hidden files, "..") or trailing dots and spaces, at most 200 bytes
// (the end kept, with its extension); "download" when nothing is left.
std::string SafeDownloadName(const std::string& suggested);

}  // namespace engine

#endif  // SRC_ENGINE_QT_DOWNLOAD_NAME_H_
