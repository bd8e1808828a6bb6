// LUMIO_DEV_URL: the address of a web developer's own server (a bundler's dev
// server with its own hot reload) that the main window shows instead of the pack.
// Its origin then takes the place of the app's own in the trust rules, so only a
// server on this machine's loopback interface is accepted: anything else could
// be another machine's, and would be handed the bridge.
#ifndef SRC_APP_DEV_SERVER_URL_H_
#define SRC_APP_DEV_SERVER_URL_H_

#include <string>

struct DevServerUrl {
  std::string url;     // the start page, as given, with "/" for an empty path
  std::string origin;  // "http://127.0.0.1:5173", as the engine serialises it
};

// Accepts http and https addresses whose host is "localhost", an IPv4 address of
// 127.0.0.0/8 in dotted decimal or "[::1]", with an optional port and no user
// name or password. Scheme and host are taken in any case. On refusal, false and
// |error| says why.
bool ParseDevServerUrl(const std::string& text, DevServerUrl& result, std::string& error);

#endif  // SRC_APP_DEV_SERVER_URL_H_
