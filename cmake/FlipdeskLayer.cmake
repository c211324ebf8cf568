# One static library per layer folder. Sources are globbed so that a new file
# in a layer needs no edit here; CONFIGURE_DEPENDS re-globs on every build.
function(flipdesk_layer name dir)
  cmake_parse_arguments(L "" "EXCLUDE" "DEPS;PKGS" ${ARGN})
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  if(L_EXCLUDE)
    list(FILTER _srcs EXCLUDE REGEX "${L_EXCLUDE}")
  endif()
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    set(_vis PUBLIC)
  else()
    # A layer not yet written still links, so its dependents can build.
    add_library(${name} INTERFACE)
    set(_vis INTERFACE)
  endif()
  # Each layer's include root holds only its own folder; the roots of the
  # layers it depends on come with them. A header of a higher layer, or of one
  # not named in DEPS, is then not found: the build enforces the layering.
  set(_root ${CMAKE_BINARY_DIR}/include/${name})
  get_filename_component(_parent ${_root}/${dir} DIRECTORY)
  file(MAKE_DIRECTORY ${_parent})
  if(NOT IS_SYMLINK ${_root}/${dir})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${dir} ${_root}/${dir} SYMBOLIC)
  endif()
  target_include_directories(${name} ${_vis} ${_root})
  target_link_libraries(${name} ${_vis} ${L_DEPS} Threads::Threads)
  foreach(p ${L_PKGS})
    target_link_libraries(${name} ${_vis} PkgConfig::${p})
  endforeach()
endfunction()

# One GoogleTest executable per layer, from tests/<dir>/*.cpp.
function(flipdesk_tests name dir)
  cmake_parse_arguments(T "" "TIMEOUT" "DEPS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_DEPS} testsupport GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    FLIPDESK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    FLIPDESK_BUILD_RESOURCES="${FLIPDESK_RESOURCE_DIR}")
  add_dependencies(${name} flipdesk_resources)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "FLIPDESK_RESOURCES=${FLIPDESK_RESOURCE_DIR};SDL_AUDIODRIVER=dummy;SDL_VIDEODRIVER=dummy;EGL_PLATFORM=surfaceless")
endfunction()
