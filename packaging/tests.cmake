# Checks of the installed tree (check_installed.sh): the build is installed once into a staging
# folder with prefix /usr, as the Debian package lays it out, and each check looks there.
set(kel_stage ${CMAKE_CURRENT_BINARY_DIR}/stage)
set(kel_check ${CMAKE_CURRENT_SOURCE_DIR}/check_installed.sh)

add_test(NAME packaging.stage COMMAND bash ${kel_check} stage ${kel_stage} ${CMAKE_BINARY_DIR})
set_tests_properties(packaging.stage PROPERTIES FIXTURES_SETUP kel_packaging_stage)

set(kel_check_env
    KELVARIN_BATCH=$<TARGET_FILE:kelvarin-batch>
    KELVARIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}
    KELVARIN_GUI=$<IF:$<BOOL:${KELVARIN_BUILD_GUI}>,ON,OFF>)
if(KELVARIN_BUILD_GUI)
  list(APPEND kel_check_env MAKE_PICTURES=$<TARGET_FILE:make_pictures>)
endif()
foreach(check files icons desktop metainfo manpages completion)
  add_test(NAME packaging.${check} COMMAND bash ${kel_check} ${check} ${kel_stage})
  set_tests_properties(packaging.${check} PROPERTIES
    FIXTURES_REQUIRED kel_packaging_stage
    ENVIRONMENT "${kel_check_env}")
endforeach()

# The Debian package made from this build, checked by lintian (scripts/check_deb.sh).
add_test(NAME packaging.deb COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check_deb.sh ${CMAKE_BINARY_DIR})
