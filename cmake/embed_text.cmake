# Writes INPUT as a C++ raw string constant NAME into OUTPUT.
file(READ ${INPUT} CONTENT)
get_filename_component(DIR ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${DIR})
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.\n#pragma once\ninline constexpr char ${NAME}[] = R\"lumio_js(${CONTENT})lumio_js\";\n")
