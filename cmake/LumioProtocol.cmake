# The constants of the page protocol, in one place: the C++ code includes
# lumio_protocol.h and the injected scripts start with lumio_protocol.js, both
# written from here (into LUMIO_PROTOCOL_DIR) whenever CMake runs, which the
# build does itself after this file or project(VERSION) changes.

# The program's version as the page learns it (OrbitAppGetInfo) and as its
# user-agent token carries it.
set(LUMIO_VERSION ${PROJECT_VERSION})
# The answer to a query that nobody takes, that is too long or that ended.
set(LUMIO_CANCELED_CODE -1)
set(LUMIO_CANCELED_MESSAGE "The query has been canceled")
# The longest bridge request, in bytes of UTF-8: 10 MiB (see bridge/bridge_router.h).
math(EXPR LUMIO_MAX_REQUEST_BYTES "10 * 1024 * 1024")
# The scheme and host that serve the app's own documents, and their origin.
set(LUMIO_APP_SCHEME "app")
set(LUMIO_APP_HOST "lumio")
set(LUMIO_APP_ORIGIN "${LUMIO_APP_SCHEME}://${LUMIO_APP_HOST}")
# Every event the program sends the page (window.cefMessage); web/lumio.d.ts
# describes their payloads.
set(LUMIO_PAGE_EVENTS
  OrbitAppInitializedReply
  OrbitAppWillQuit
  OrbitMainBrowserStateChange
  OrbitBrowserWillClose
  OrbitBrowserOnAddressChange
  OrbitTrayIconMenuDidSelect
)

set(LUMIO_PROTOCOL_DIR ${CMAKE_BINARY_DIR}/generated)
set(LUMIO_PROTOCOL_JS ${LUMIO_PROTOCOL_DIR}/lumio_protocol.js)

foreach(text LUMIO_VERSION LUMIO_CANCELED_MESSAGE LUMIO_APP_ORIGIN LUMIO_PAGE_EVENTS)
  if("${${text}}" MATCHES "[\"'\\\\\n]")
    message(FATAL_ERROR "${text} must hold no quote, backslash or line break")
  endif()
endforeach()

# Written only when the text changes, so that a run of CMake rebuilds nothing else.
function(lumio_write_generated PATH CONTENT)
  file(WRITE ${PATH}.new "${CONTENT}")
  configure_file(${PATH}.new ${PATH} COPYONLY)
  file(REMOVE ${PATH}.new)
endfunction()

set(events "")
foreach(event ${LUMIO_PAGE_EVENTS})
  string(APPEND events "inline constexpr char k${event}[] = \"${event}\";\n")
endforeach()
lumio_write_generated(${LUMIO_PROTOCOL_DIR}/lumio_protocol.h
"// Generated from cmake/LumioProtocol.cmake; do not edit.
#ifndef LUMIO_PROTOCOL_H_
#define LUMIO_PROTOCOL_H_

#include <cstddef>

namespace protocol {

inline constexpr char kVersion[] = \"${LUMIO_VERSION}\";
inline constexpr int kCanceledCode = ${LUMIO_CANCELED_CODE};
inline constexpr char kCanceledMessage[] = \"${LUMIO_CANCELED_MESSAGE}\";
inline constexpr std::size_t kMaxRequestBytes = ${LUMIO_MAX_REQUEST_BYTES};
inline constexpr char kAppScheme[] = \"${LUMIO_APP_SCHEME}\";
inline constexpr char kAppHost[] = \"${LUMIO_APP_HOST}\";
inline constexpr char kAppOrigin[] = \"${LUMIO_APP_ORIGIN}\";

}  // namespace protocol

// The names of the page events.
namespace page_event {

${events}
}  // namespace page_event

#endif  // LUMIO_PROTOCOL_H_
")

# Inside the function that each injected script is wrapped in, so nothing here
# becomes a global of the page.
lumio_write_generated(${LUMIO_PROTOCOL_JS}
"// Generated from cmake/LumioProtocol.cmake; do not edit.
var CANCELED_CODE = ${LUMIO_CANCELED_CODE};
var CANCELED_MESSAGE = '${LUMIO_CANCELED_MESSAGE}';
var MAX_REQUEST_BYTES = ${LUMIO_MAX_REQUEST_BYTES};
var APP_ORIGIN = '${LUMIO_APP_ORIGIN}';
")

# The generated header, for every target that uses the protocol.
add_library(lumio_protocol INTERFACE)
target_include_directories(lumio_protocol INTERFACE ${LUMIO_PROTOCOL_DIR})
