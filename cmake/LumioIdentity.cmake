# The application's identity: lumio.json beside the web application (LUMIO_WEB_DIR),
# checked against data/lumio.schema.json by scripts/app-identity.py. Without the file
# the program is Lumio itself. The values become LUMIO_APP_* here and, for the code,
# the generated header lumio_identity.h, which only src/app/app_identity.cpp reads.
# lumio.json is never packed (pack_folder.cmake) nor served (resources/web_folder).
set(LUMIO_IDENTITY_FILE ${LUMIO_WEB_DIR}/lumio.json)
if(EXISTS ${LUMIO_IDENTITY_FILE})
  set(identity_values ${CMAKE_BINARY_DIR}/generated/lumio_identity.cmake)
  execute_process(
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/scripts/app-identity.py check
            ${CMAKE_SOURCE_DIR}/data/lumio.schema.json ${LUMIO_IDENTITY_FILE} ${identity_values}
    RESULT_VARIABLE identity_result)
  if(NOT identity_result EQUAL 0)
    # The script has said what is wrong, one line per key.
    message(FATAL_ERROR "${LUMIO_IDENTITY_FILE} is not usable (above); nothing is built "
                        "until it is fixed")
  endif()
  include(${identity_values})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${LUMIO_IDENTITY_FILE} ${CMAKE_SOURCE_DIR}/data/lumio.schema.json
               ${LUMIO_APP_ICON} ${LUMIO_APP_UPDATES_KEY})
  # Named after the id: two applications never share a file, folder or bus name.
  set(LUMIO_APP_DESKTOP_ID ${LUMIO_APP_ID})
  set(LUMIO_APP_FOLDER ${LUMIO_APP_ID})
  set(LUMIO_APP_BUS_NAME ${LUMIO_APP_ID})
  set(LUMIO_APP_PACKAGE ${LUMIO_APP_COMMAND})
  set(LUMIO_APP_DATA_DIR ${LUMIO_APP_COMMAND})
  set(LUMIO_APP_HELPER ${LUMIO_APP_COMMAND}-helper)
  if(LUMIO_APP_DESCRIPTION STREQUAL "")
    set(LUMIO_APP_DESCRIPTION "${LUMIO_APP_NAME}")
  endif()
  set(LUMIO_APP_COMMENT "${LUMIO_APP_DESCRIPTION}")
  set(LUMIO_APP_LONG_DESCRIPTION
      "${LUMIO_APP_NAME} shows its web interface in a desktop window of its own, with\nnotifications, a tray menu and start at login.")
  if(LUMIO_APP_MAINTAINER STREQUAL "")
    set(LUMIO_APP_MAINTAINER "${LUMIO_APP_NAME} developers <${LUMIO_APP_COMMAND}@example.org>")
  endif()
else()
  set(LUMIO_APP_ID "")
  set(LUMIO_APP_NAME Lumio)
  set(LUMIO_APP_VERSION ${PROJECT_VERSION})
  set(LUMIO_APP_COMMAND lumio-app)
  set(LUMIO_APP_DESKTOP_ID lumio)
  set(LUMIO_APP_FOLDER Lumio)
  set(LUMIO_APP_BUS_NAME org.lumio.Lumio)
  set(LUMIO_APP_PACKAGE lumio)
  set(LUMIO_APP_DATA_DIR lumio)
  set(LUMIO_APP_HELPER lumio-helper)
  set(LUMIO_APP_ICON "")
  set(LUMIO_APP_COMMENT "Lumio desktop application")
  set(LUMIO_APP_DESCRIPTION "Desktop shell for a single-page web application")
  set(LUMIO_APP_LONG_DESCRIPTION
      "Lumio shows a web application from its pack (lumio.pak) in a desktop window\nand gives the page native services: window state, tray menu and notifications,\npopups, start at login and idle time.")
  set(LUMIO_APP_MAINTAINER "Lumio developers <lumio@example.org>")
  set(LUMIO_APP_HOMEPAGE "")
  set(LUMIO_APP_UPDATES_URL "")
  set(LUMIO_APP_UPDATES_KEY "")
endif()
# The Origin of the application's apt repository (make repo), which its
# unattended-upgrades entry matches.
if(LUMIO_APP_ID)
  file(WRITE ${CMAKE_BINARY_DIR}/repo-origin "${LUMIO_APP_ID}")
else()
  file(WRITE ${CMAKE_BINARY_DIR}/repo-origin "lumio")
endif()
# The D-Bus object path of the bus name: "org.example.App" -> "/org/example/App".
string(REPLACE "." "/" LUMIO_APP_OBJECT_PATH "/${LUMIO_APP_BUS_NAME}")

lumio_write_generated(${LUMIO_PROTOCOL_DIR}/lumio_identity.h
"// Generated from lumio.json by cmake/LumioIdentity.cmake; do not edit.
#ifndef LUMIO_IDENTITY_H_
#define LUMIO_IDENTITY_H_

namespace lumio_identity {

inline constexpr char kName[] = \"${LUMIO_APP_NAME}\";
inline constexpr char kVersion[] = \"${LUMIO_APP_VERSION}\";
inline constexpr char kDesktopId[] = \"${LUMIO_APP_DESKTOP_ID}\";
inline constexpr char kFolder[] = \"${LUMIO_APP_FOLDER}\";
inline constexpr char kBusName[] = \"${LUMIO_APP_BUS_NAME}\";
inline constexpr char kObjectPath[] = \"${LUMIO_APP_OBJECT_PATH}\";
inline constexpr char kDataDir[] = \"${LUMIO_APP_DATA_DIR}\";
inline constexpr char kHelper[] = \"${LUMIO_APP_HELPER}\";

}  // namespace lumio_identity

#endif  // LUMIO_IDENTITY_H_
")
