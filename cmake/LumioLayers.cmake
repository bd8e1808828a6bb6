# Layers the build enforces. Each layer of src/ (engine, engine/qt, resources,
# bridge, client, native, app) has an include root of its own under the build
# folder that shows that layer's headers alone, as "<layer>/<file>.h". A target
# sees its own layer's root and, through its links, the roots of the layers it
# links to, and nothing else: an include of a layer above fails to compile.
#
#   engine  <-  engine/qt, resources, bridge  <-  client  <-  native  <-  app
#
# (bridge and resources depend on engine only; native on client, bridge,
# resources and engine; app on all of them. engine/qt is the backend: only the
# programs link it, so no layer above includes it.)
set(LUMIO_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layers)
# The repository, also when another project (fuzz/) adds it as a subdirectory.
get_filename_component(LUMIO_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)

# lumio_layer_root(<name> <folder under src>): makes the root and returns its path
# in LUMIO_LAYER_ROOT_<name>. The engine's root shows its top-level headers only,
# not the backend in engine/qt.
function(lumio_layer_root name folder)
  set(root ${LUMIO_LAYER_ROOTS}/${name})
  if(name STREQUAL "engine")
    file(MAKE_DIRECTORY ${root}/engine)
    file(GLOB headers CONFIGURE_DEPENDS ${LUMIO_SOURCE_ROOT}/src/engine/*.h)
    foreach(header ${headers})
      get_filename_component(file ${header} NAME)
      file(CREATE_LINK ${header} ${root}/engine/${file} SYMBOLIC)
    endforeach()
  else()
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${LUMIO_SOURCE_ROOT}/src/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  set(LUMIO_LAYER_ROOT_${name} ${root} PARENT_SCOPE)
endfunction()

foreach(layer engine engine_qt resources bridge client native app)
  set(folder ${layer})
  if(layer STREQUAL "engine_qt")
    set(folder engine/qt)
  endif()
  lumio_layer_root(${layer} ${folder})
endforeach()

# lumio_layer(<target> <layer> STATIC|INTERFACE sources... [LINKS targets...]):
# a library of one layer, seeing its own root and those of what it links.
function(lumio_layer target layer)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${LUMIO_LAYER_ROOT_${layer}})
  target_link_libraries(${target} PUBLIC ${ARG_LINKS})
endfunction()
