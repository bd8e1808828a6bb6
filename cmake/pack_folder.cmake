# Build step of lumio_add_pack (LumioPack.cmake): zips every file below SOURCE into
# OUTPUT. Files are copied into STAGING first, so that symbolic links become the
# files they name; links that lead outside SOURCE are left out.
get_filename_component(root "${SOURCE}" REALPATH)
file(REMOVE_RECURSE "${STAGING}")
file(MAKE_DIRECTORY "${STAGING}")
file(GLOB_RECURSE files FOLLOW_SYMLINKS LIST_DIRECTORIES false RELATIVE "${SOURCE}"
     "${SOURCE}/*")
list(SORT files)
set(packed "")
foreach(name IN LISTS files)
  # The application's identity file stays out of the pack: it is for the build.
  string(TOLOWER "${name}" lower_name)
  if(lower_name STREQUAL "lumio.json")
    continue()
  endif()
  get_filename_component(real "${SOURCE}/${name}" REALPATH)
  file(RELATIVE_PATH inside "${root}" "${real}")
  if(inside MATCHES "^\\.\\.(/|$)" OR IS_ABSOLUTE "${inside}")
    message(WARNING "${SOURCE}/${name} leads outside ${SOURCE}: not packed")
    continue()
  endif()
  configure_file("${SOURCE}/${name}" "${STAGING}/${name}" COPYONLY)
  string(APPEND packed "${name}\n")
endforeach()
file(WRITE "${STAGING}.list" "${packed}")
get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
file(REMOVE "${OUTPUT}.part")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf "${OUTPUT}.part" --format=zip "--files-from=${STAGING}.list"
  WORKING_DIRECTORY "${STAGING}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "could not write ${OUTPUT}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
