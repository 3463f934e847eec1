# Writes the template of every text marked for translation in src/ (the one list of marks and
# sources, used by the update-po target and by the catalogue test).
#   cmake -DXGETTEXT=xgettext -DSOURCE_DIR=<repository> -DOUTPUT=kelvarin.pot -P make_template.cmake
cmake_minimum_required(VERSION 3.25)

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/src/*.h")
list(SORT sources)
execute_process(
  COMMAND "${XGETTEXT}" --language=C++ --from-code=UTF-8 --keyword --keyword=_ --keyword=N_
          --keyword=P_:1,2 --add-comments=TRANSLATORS: --sort-by-file --add-location=file
          --package-name=Kelvarin --output=${OUTPUT} ${sources}
  WORKING_DIRECTORY "${SOURCE_DIR}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "xgettext failed (${status})")
endif()
