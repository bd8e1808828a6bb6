# lumio_add_pack(<target> SOURCE_DIR <folder> OUTPUT <file>)
#
# Packs every file below <folder> into the zip pack <file> at build time, the way
# lumio-app serves it as app://lumio/<path>. <folder> must hold index.html, the
# start page. The pack is rebuilt when a file is added, removed or changed.
# Symbolic links are followed as long as they stay inside <folder>; files they
# lead to outside it are left out, as the development mode (LUMIO_WEB_DIR at run
# time) refuses them too. <target> is built by default.
set(LUMIO_PACK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/pack_folder.cmake)

function(lumio_add_pack TARGET)
  cmake_parse_arguments(PARSE_ARGV 1 PACK "" "SOURCE_DIR;OUTPUT" "")
  if(NOT PACK_SOURCE_DIR OR NOT PACK_OUTPUT)
    message(FATAL_ERROR "lumio_add_pack(${TARGET}): SOURCE_DIR and OUTPUT are required")
  endif()
  get_filename_component(source "${PACK_SOURCE_DIR}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
  if(NOT IS_DIRECTORY "${source}")
    message(FATAL_ERROR "lumio_add_pack(${TARGET}): ${source} is not a folder")
  endif()
  file(GLOB_RECURSE files FOLLOW_SYMLINKS LIST_DIRECTORIES false CONFIGURE_DEPENDS
       "${source}/*")
  # The pack looks names up with ASCII case ignored; so does this check.
  set(start_page "")
  foreach(path IN LISTS files)
    file(RELATIVE_PATH name "${source}" "${path}")
    string(TOLOWER "${name}" name)
    if(name STREQUAL "index.html")
      set(start_page "${path}")
    endif()
  endforeach()
  if(NOT start_page)
    message(FATAL_ERROR "lumio_add_pack(${TARGET}): ${source} has no index.html, "
                        "the start page app://lumio/index.html")
  endif()
  get_filename_component(output "${PACK_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  get_filename_component(output_name "${output}" NAME)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${source} -DOUTPUT=${output}
            -DSTAGING=${CMAKE_CURRENT_BINARY_DIR}/${TARGET}-files -P ${LUMIO_PACK_SCRIPT}
    DEPENDS ${files} ${LUMIO_PACK_SCRIPT}
    COMMENT "Packing ${source} into ${output_name}"
    VERBATIM)
  add_custom_target(${TARGET} ALL DEPENDS ${output})
endfunction()
