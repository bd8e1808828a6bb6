// Which URLs the program hands to the desktop's default handler.
#ifndef SRC_NATIVE_EXTERNAL_URL_H_
#define SRC_NATIVE_EXTERNAL_URL_H_

#include <string>

// True for "http" and "https" URLs that name a host and for "mailto" URLs (scheme
// letters in any case). Everything else is refused: a page must not have the desktop
// open local files ("file:"), network shares or the handlers that other programs
// register for their own schemes. Also refused: text with whitespace, control bytes
// or backslashes, which no valid URL holds and which lenient parsers would quietly
// strip or reinterpret.
bool IsExternalBrowserUrl(const std::string& url);

#endif  // SRC_NATIVE_EXTERNAL_URL_H_
