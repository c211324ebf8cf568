# Colour-lookup pictures: drawn at build time by tools/lookupgen into the resource folder.
pkg_check_modules(LOOKUPGEN_PNG REQUIRED IMPORTED_TARGET libpng)
add_executable(lookupgen ${PROJECT_SOURCE_DIR}/tools/lookupgen/lookupgen.cpp)
target_link_libraries(lookupgen PRIVATE PkgConfig::LOOKUPGEN_PNG)

set(_lookup_outputs "")
foreach(n lookup.png lookup_soft_elegance_1.png lookup_soft_elegance_2.png lookup_brenlow.png lookup_vastrel.png)
  list(APPEND _lookup_outputs ${FLIPDESK_RESOURCE_DIR}/${n})
endforeach()
add_custom_command(OUTPUT ${_lookup_outputs}
  COMMAND lookupgen ${FLIPDESK_RESOURCE_DIR}
  DEPENDS lookupgen
  COMMENT "Drawing colour-lookup pictures"
  VERBATIM)
list(APPEND FLIPDESK_RESOURCE_OUTPUTS ${_lookup_outputs})
