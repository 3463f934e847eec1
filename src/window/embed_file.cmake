# Writes a C++ source that holds the bytes of a file, so pictures are part of the program and
# are remade from the files under assets/ at every build.
#
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DFUNCTION=<name> [-DTAG_CLASS=<picture class>]
#         -P embed_file.cmake
#
# Defines `std::string_view kel::embedded::<name>()`. With TAG_CLASS the bytes are stored in a
# window description's tagged picture form: the class name as a length-prefixed string (one
# length byte), the byte count as 32-bit little-endian, then the file's bytes.
cmake_minimum_required(VERSION 3.25)

foreach(var INPUT OUTPUT FUNCTION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "embed_file.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" body_hex HEX)
file(SIZE "${INPUT}" body_size)
if(body_size EQUAL 0 AND NOT TAG_CLASS)
  message(FATAL_ERROR "embed_file.cmake: ${INPUT} is empty")
endif()

# Two hex digits of the low byte of `value`.
function(byte_hex value out)
  math(EXPR byte "${value} & 255" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${byte}" 2 -1 digits)
  string(LENGTH "${digits}" n)
  if(n EQUAL 1)
    set(digits "0${digits}")
  endif()
  set(${out} "${digits}" PARENT_SCOPE)
endfunction()

set(prefix_hex "")
if(DEFINED TAG_CLASS AND NOT TAG_CLASS STREQUAL "")
  string(LENGTH "${TAG_CLASS}" name_length)
  if(name_length GREATER 255)
    message(FATAL_ERROR "embed_file.cmake: class name longer than 255 bytes")
  endif()
  byte_hex(${name_length} length_hex)
  string(HEX "${TAG_CLASS}" name_hex)
  set(prefix_hex "${length_hex}${name_hex}")
  foreach(shift 0 8 16 24)
    math(EXPR part "${body_size} >> ${shift}")
    byte_hex(${part} part_hex)
    string(APPEND prefix_hex "${part_hex}")
  endforeach()
endif()

string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${prefix_hex}${body_hex}")
# Sixteen bytes a line keeps the generated file readable in a diff tool.
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_pattern)
string(REGEX REPLACE "(${line_pattern})" "\\1\n    " bytes "${bytes}")

get_filename_component(input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${input_name} by embed_file.cmake at build time; do not edit.
#include <string_view>

namespace kel::embedded {
namespace {
constexpr unsigned char kBytes[] = {
    ${bytes}
};
}  // namespace

std::string_view ${FUNCTION}() {
  return {reinterpret_cast<const char*>(kBytes), sizeof kBytes};
}

}  // namespace kel::embedded
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
