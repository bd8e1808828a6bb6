# Joins the files of INPUTS (separated by commas) into one script, the body of a
# function that runs at once, and writes it as a C++ raw string constant NAME
# into OUTPUT, and as it is into SCRIPT (which the end-to-end tests run). The
# function keeps every name of the script out of the page's globals.
string(REPLACE "," ";" INPUTS "${INPUTS}")
set(CONTENT "(function () {\n'use strict';\n")
foreach(input ${INPUTS})
  file(READ ${input} text)
  get_filename_component(name ${input} NAME)
  string(APPEND CONTENT "\n// ---- ${name}\n${text}")
endforeach()
string(APPEND CONTENT "})();\n")
if(CONTENT MATCHES "\\)lumio_js\"")
  message(FATAL_ERROR "${NAME}: the script holds the end of the raw string")
endif()
get_filename_component(DIR ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${DIR})
file(WRITE ${SCRIPT} "${CONTENT}")
file(WRITE ${OUTPUT} "// Generated from ${INPUTS}; do not edit.\n#pragma once\ninline constexpr char ${NAME}[] = R\"lumio_js(${CONTENT})lumio_js\";\n")
