# Brush tips: drawn at build time by tools/brushgen into the resource folder.
pkg_check_modules(BRUSHGEN_PNG REQUIRED IMPORTED_TARGET libpng)
add_executable(brushgen ${PROJECT_SOURCE_DIR}/tools/brushgen/brushgen.cpp)
target_link_libraries(brushgen PRIVATE PkgConfig::BRUSHGEN_PNG)

set(_brush_names
  DefaultTexture.bundle/brusherase.png
  DefaultTexture.bundle/brushImage1.png
  DefaultTexture.bundle/brushImage2.png
  DefaultTexture.bundle/brushImage3.png
  DefaultTexture.bundle/brushImage4.png
  DefaultTexture.bundle/brushImage5.png
  DefaultTexture.bundle/brushImage6.png
  DefaultTexture.bundle/brushSmudge.png
  brushImage3.png
  newBrush04.png
  newBrush05.png
  newBrush06.png
  Brush01.png
  Brush02.png
  Brush03.png
  Brush04.png
  Brush05.png
  Brush06.png)
set(_brush_outputs "")
foreach(n ${_brush_names})
  list(APPEND _brush_outputs ${FLIPDESK_RESOURCE_DIR}/${n})
endforeach()
add_custom_command(OUTPUT ${_brush_outputs}
  COMMAND brushgen ${FLIPDESK_RESOURCE_DIR}
  DEPENDS brushgen
  COMMENT "Drawing brush tips"
  VERBATIM)
list(APPEND FLIPDESK_RESOURCE_OUTPUTS ${_brush_outputs})
