# The mosaic tile set: drawn at build time by tools/tilegen into the resource folder.
pkg_check_modules(TILEGEN_PNG REQUIRED IMPORTED_TARGET libpng)
add_executable(tilegen ${PROJECT_SOURCE_DIR}/tools/tilegen/tilegen.cpp)
target_link_libraries(tilegen PRIVATE PkgConfig::TILEGEN_PNG)

add_custom_command(OUTPUT ${FLIPDESK_RESOURCE_DIR}/mosaic_tiles.png
  COMMAND tilegen ${FLIPDESK_RESOURCE_DIR}
  DEPENDS tilegen
  COMMENT "Drawing the mosaic tile set"
  VERBATIM)
list(APPEND FLIPDESK_RESOURCE_OUTPUTS ${FLIPDESK_RESOURCE_DIR}/mosaic_tiles.png)
