# The Windows resources of the programs: the icon, the version block and the application manifest,
# compiled by windres (CMake's RC language) into the .exe. Included by the top CMakeLists.txt on
# Windows only.
#
#   kelvarin_windows_resources(<target> <rc file>)
#
# adds <rc file> (an absolute path) to <target>, which may be defined in any folder. The .rc
# finds these by name, through the include path:
#   kelvarin.ico         the icon, packed at build time by tools/make_ico.py from
#                        assets/kelvarin-16.png, -32, -48, kelvarin.png (120) and -256
#   kelvarin_version.h   the project's version and copyright as the .rc needs them (made here)
#   windows_version.rc   the version block every program shares (beside this file)
#   its own manifest     *.manifest beside the .rc, which the .rc names; a change to one
#                        rebuilds the resources
# The window program's call sits in the top CMakeLists.txt, so it applies as soon as a
# `kelvarin` target exists on Windows.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KELVARIN_RESOURCE_DIR ${PROJECT_BINARY_DIR}/windows-resources)
set(kelvarin_icon ${KELVARIN_RESOURCE_DIR}/kelvarin.ico)
set(kelvarin_version_header ${KELVARIN_RESOURCE_DIR}/kelvarin_version.h)

# A version resource has four numbers; the project gives three.
set(kelvarin_tweak 0)
if(PROJECT_VERSION_TWEAK)
  set(kelvarin_tweak ${PROJECT_VERSION_TWEAK})
endif()
set(kelvarin_version_numbers
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${kelvarin_tweak}")
set(kelvarin_file_version
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${kelvarin_tweak}")
# The copyright line of LICENSE, so that the two cannot drift apart.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE kelvarin_copyright REGEX "^Copyright " LIMIT_COUNT 1)
if(NOT kelvarin_copyright)
  message(FATAL_ERROR "LICENSE has no line starting with \"Copyright \"")
endif()
file(CONFIGURE OUTPUT ${kelvarin_version_header} CONTENT
"/* Made by cmake/windows_resources.cmake from the project's version and LICENSE. */
#define KELVARIN_VERSION_NUMBERS ${kelvarin_version_numbers}
#define KELVARIN_FILE_VERSION \"${kelvarin_file_version}\"
#define KELVARIN_PRODUCT_VERSION \"${PROJECT_VERSION}\"
#define KELVARIN_COPYRIGHT \"${kelvarin_copyright}\"
")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

# The sizes Windows asks for (16 and 32 in lists and the title bar, 48 for large icons, 256 for
# the largest views) and the 120 of the window's own picture. The PNGs are checked in: the
# cross build cannot run the Qt picture tool that draws them (see assets/README.md).
set(kelvarin_icon_pictures
    ${PROJECT_SOURCE_DIR}/assets/kelvarin-16.png
    ${PROJECT_SOURCE_DIR}/assets/kelvarin-32.png
    ${PROJECT_SOURCE_DIR}/assets/kelvarin-48.png
    ${PROJECT_SOURCE_DIR}/assets/kelvarin.png
    ${PROJECT_SOURCE_DIR}/assets/kelvarin-256.png)
add_custom_command(
  OUTPUT ${kelvarin_icon}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVARIN_RESOURCE_DIR}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_ico.py ${kelvarin_icon}
          ${kelvarin_icon_pictures}
  DEPENDS ${kelvarin_icon_pictures} ${PROJECT_SOURCE_DIR}/tools/make_ico.py
  COMMENT "Packing the icon's sizes into kelvarin.ico"
  VERBATIM)
add_custom_target(kelvarin_windows_icon DEPENDS ${kelvarin_icon})

function(kelvarin_windows_resources target rc)
  # A second .rc would bring a second version block and manifest: the link fails on duplicates.
  get_target_property(earlier ${target} KELVARIN_WINDOWS_RC)
  if(earlier)
    message(FATAL_ERROR "${target} has its Windows resources already (${earlier})")
  endif()
  set_target_properties(${target} PROPERTIES KELVARIN_WINDOWS_RC ${rc})
  get_filename_component(rc_dir ${rc} DIRECTORY)
  file(GLOB manifests ${rc_dir}/*.manifest)
  target_sources(${target} PRIVATE ${rc})
  # windres reads the file with no dependency scan of its own, so each file the .rc pulls in is
  # named here.
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
    INCLUDE_DIRECTORIES "${rc_dir};${KELVARIN_RESOURCE_DIR};${CMAKE_CURRENT_FUNCTION_LIST_DIR}"
    OBJECT_DEPENDS
      "${kelvarin_icon};${kelvarin_version_header};${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows_version.rc;${manifests}")
  add_dependencies(${target} kelvarin_windows_icon)
endfunction()
