# Built-in backgrounds: drawn at build time by tools/backgroundgen into the
# resource folder (stills as PNG, animated pictures as JPEG, each with an icon).
pkg_check_modules(BACKGROUNDGEN_JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(BACKGROUNDGEN_PNG REQUIRED IMPORTED_TARGET libpng)
add_executable(backgroundgen ${PROJECT_SOURCE_DIR}/tools/backgroundgen/backgroundgen.cpp)
target_link_libraries(backgroundgen PRIVATE PkgConfig::BACKGROUNDGEN_JPEG PkgConfig::BACKGROUNDGEN_PNG)

set(_background_outputs "")
foreach(n SSBackground000 SSBackground001 SSBackground002)
  list(APPEND _background_outputs ${FLIPDESK_RESOURCE_DIR}/${n}.png ${FLIPDESK_RESOURCE_DIR}/${n}Icon.png)
endforeach()
# Picture counts of the animated backgrounds, as the model counts them.
foreach(entry SDBackground000_:30 SDBackground001_:31 SDBackground002_:31 SCBackground000_:30)
  string(REPLACE ":" ";" pair ${entry})
  list(GET pair 0 stem)
  list(GET pair 1 count)
  math(EXPR last "${count} - 1")
  foreach(k RANGE ${last})
    list(APPEND _background_outputs ${FLIPDESK_RESOURCE_DIR}/${stem}${k}.jpg ${FLIPDESK_RESOURCE_DIR}/${stem}${k}Icon.jpg)
  endforeach()
endforeach()
add_custom_command(OUTPUT ${_background_outputs}
  COMMAND backgroundgen ${FLIPDESK_RESOURCE_DIR}
  DEPENDS backgroundgen
  COMMENT "Drawing built-in backgrounds"
  VERBATIM)
list(APPEND FLIPDESK_RESOURCE_OUTPUTS ${_background_outputs})
