# The product folders are layers; each is one library (and, in the Windows
# trees, a second one with its Win32 edges, the *_win.cpp files), linked to
# the layers below it and nothing else:
#
#   core/  uninstaller/  tools/        the programs
#   install/                           the installation engine
#   package/      ui/                  format and codec; the wizard's parts
#   services/                          system services and text helpers
#
# Which folder may include which is written once, in cmake/check-layers.cmake;
# that check runs before anything is compiled, so an include against the
# direction fails the build.

# The Windows programs are linked with link-time optimisation (one partition:
# more crashed this compiler), which takes some 22 KB off the installer. The
# libraries carry machine code beside it, so that the test programs link them
# as usual.
if(WIN32 AND CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
  set(brindorel_lto_compile -flto -ffat-lto-objects)
  set(brindorel_lto_link -flto -flto-partition=one -Os -fuse-linker-plugin)
  # Every other program links the machine code: through the linker plugin
  # the PE linker would see each template twice.
  add_link_options(-fno-use-linker-plugin)
endif()

# Links a Windows program with link-time optimisation where the tree uses it.
function(brindorel_optimised_program target)
  target_link_options(${target} PRIVATE ${brindorel_lto_link})
endfunction()

# brindorel_layer(FOLDER [USES lower folders...] [SYSTEM system libraries...])
function(brindorel_layer folder)
  cmake_parse_arguments(layer "" "" "USES;SYSTEM" ${ARGN})
  file(GLOB portable CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER portable EXCLUDE REGEX "(_win|_main)\\.cpp$")
  set(name brindorel_${folder})
  add_library(${name} STATIC ${CMAKE_SOURCE_DIR}/cmake/empty.cpp ${portable})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  foreach(lower ${layer_USES})
    target_link_libraries(${name} PUBLIC brindorel_${lower})
  endforeach()
  add_dependencies(${name} brindorel_check_layers)
  target_compile_options(${name} PRIVATE ${brindorel_lto_compile})
  brindorel_warnings(${name})
  if(WIN32)
    file(GLOB edges CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*_win.cpp)
    add_library(${name}_win STATIC ${CMAKE_SOURCE_DIR}/cmake/empty.cpp ${edges})
    target_link_libraries(${name}_win PUBLIC ${name})
    foreach(lower ${layer_USES})
      target_link_libraries(${name}_win PUBLIC brindorel_${lower}_win)
    endforeach()
    target_link_libraries(${name}_win PUBLIC ${layer_SYSTEM})
    # Every Windows call with text is a wide one; the plain macros name them too.
    target_compile_definitions(${name}_win PRIVATE UNICODE _UNICODE)
    target_compile_options(${name}_win PRIVATE ${brindorel_lto_compile})
    brindorel_warnings(${name}_win)
  endif()
endfunction()

# The check itself, before every layer's compilation.
file(GLOB_RECURSE brindorel_layered_sources CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/services/*.h ${CMAKE_SOURCE_DIR}/services/*.cpp
  ${CMAKE_SOURCE_DIR}/package/*.h ${CMAKE_SOURCE_DIR}/package/*.cpp
  ${CMAKE_SOURCE_DIR}/ui/*.h ${CMAKE_SOURCE_DIR}/ui/*.cpp
  ${CMAKE_SOURCE_DIR}/install/*.h ${CMAKE_SOURCE_DIR}/install/*.cpp
  ${CMAKE_SOURCE_DIR}/core/*.h ${CMAKE_SOURCE_DIR}/core/*.cpp
  ${CMAKE_SOURCE_DIR}/uninstaller/*.h ${CMAKE_SOURCE_DIR}/uninstaller/*.cpp
  ${CMAKE_SOURCE_DIR}/tools/*.h ${CMAKE_SOURCE_DIR}/tools/*.cpp)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/layers.checked
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/check-layers.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/layers.checked
  DEPENDS ${brindorel_layered_sources} ${CMAKE_SOURCE_DIR}/cmake/check-layers.cmake
  COMMENT "Checking that every include goes down the layers")
add_custom_target(brindorel_check_layers DEPENDS ${CMAKE_BINARY_DIR}/layers.checked)
