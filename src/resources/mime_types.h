// The MIME type the pack scheme answers with, chosen from the URL path alone.
#ifndef SRC_RESOURCES_MIME_TYPES_H_
#define SRC_RESOURCES_MIME_TYPES_H_

#include <string>

// The type of the first suffix in this list that |path| ends with, compared exactly
// (case-sensitive): .html, .css, .jpg, .js, .png, .gif, .map, .mjs, .svg, .wasm;
// "text/plain" for anything else (.json among them). No charset parameter.
std::string MimeTypeForPath(const std::string& path);

#endif  // SRC_RESOURCES_MIME_TYPES_H_
