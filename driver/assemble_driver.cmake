# Assembles and links the Z80 sound driver, checks it, and writes the C++ source that embeds its
# bytes and the C++ header of its memory map. Run in script mode:
#   cmake -DAS=... -DLD=... -DSOURCE=... -DINCLUDE_DIR=... -DCHECKS=... -DOUTPUT_DIR=...
#         [-DCPP_OUTPUT=image.cpp -DHPP_OUTPUT=memory_map.hpp] -P assemble_driver.cmake
# Used by the build and by the test that makes sure a broken driver is refused. The whole-chip
# driver passes as well
#   -DMAP=whole_chip_map.inc   its map, which the header is made of; memory_map.inc, which it
#                              builds on, is read first for its values only
#   -DNAMESPACE=whole_chip     the header's namespace inside qvx::driver
#   -DFUNCTION=wholeChipImage -DHEADER=driver/whole_chip_driver.hpp   what embeds the bytes
if(NOT MAP)
  set(MAP memory_map.inc)
endif()
if(NOT FUNCTION)
  set(FUNCTION image)
  set(HEADER driver/sound_driver.hpp)
endif()
get_filename_component(driver_name "${SOURCE}" NAME_WE)

# ---- The memory map ------------------------------------------------------------------------
# Every ".equ NAME, EXPRESSION ; comment" of memory_map.inc, evaluated in order, and the groups
# that the ";@c++ NAMESPACE TYPE [PREFIX]" lines start. See the head of memory_map.inc.

# "YM_KEY_TRACK_1" without "YM_" -> "kKeyTrack1"
function(qvx_cpp_name name prefix out)
  if(prefix AND name MATCHES "^${prefix}")
    string(LENGTH "${prefix}" n)
    string(SUBSTRING "${name}" ${n} -1 name)
  endif()
  string(REPLACE "_" ";" parts "${name}")
  set(result "k")
  foreach(part IN LISTS parts)
    string(SUBSTRING "${part}" 0 1 first)
    string(SUBSTRING "${part}" 1 -1 rest)
    string(TOLOWER "${rest}" rest)
    string(APPEND result "${first}${rest}")
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# A decimal value as C++ text for its type: hexadecimal for byte and address constants.
function(qvx_cpp_literal value type name out)
  if(type STREQUAL "std::uint8_t")
    set(digits 2)
    set(max 255)
  elseif(type STREQUAL "std::uint16_t")
    set(digits 4)
    set(max 65535)
  else()
    set(${out} "${value}" PARENT_SCOPE)
    return()
  endif()
  if(value LESS 0 OR value GREATER max)
    message(FATAL_ERROR "memory_map.inc: ${name} = ${value} does not fit ${type}")
  endif()
  math(EXPR hex "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${hex}" 2 -1 hex)
  string(TOUPPER "${hex}" hex)
  string(LENGTH "${hex}" n)
  while(n LESS digits)
    string(PREPEND hex "0")
    math(EXPR n "${n} + 1")
  endwhile()
  set(${out} "0x${hex}" PARENT_SCOPE)
endfunction()

# The base map's values come first when the driver's map builds on it; only the driver's own map
# goes into the header.
set(map_text "")
if(NOT MAP STREQUAL "memory_map.inc")
  file(READ "${INCLUDE_DIR}/memory_map.inc" map_text)
  string(APPEND map_text "\n@@END_OF_BASE@@\n")
endif()
file(READ "${INCLUDE_DIR}/${MAP}" own_text)
string(APPEND map_text "${own_text}")
# CMake lists are separated by semicolons, which start the assembler's comments.
string(REPLACE ";" "@SC@" map_text "${map_text}")
string(REPLACE "\n" ";" map_lines "${map_text}")

set(header_body "")
set(group_open FALSE)
set(group_namespace "")
set(in_base FALSE)
if(NOT MAP STREQUAL "memory_map.inc")
  set(in_base TRUE)
endif()
foreach(line IN LISTS map_lines)
  if(line STREQUAL "@@END_OF_BASE@@")
    set(in_base FALSE)
    set(header_body "")
    set(group_open FALSE)
  elseif(line MATCHES "^@SC@@c\\+\\+ ([^ ]+) ([^ ]+)( ([A-Z0-9_]+))?$")
    if(group_open AND NOT group_namespace STREQUAL "-")
      string(APPEND header_body "}  // namespace ${group_namespace}\n")
    endif()
    set(group_open TRUE)
    set(group_namespace "${CMAKE_MATCH_1}")
    set(group_type "${CMAKE_MATCH_2}")
    set(group_prefix "${CMAKE_MATCH_4}")
    if(NOT group_namespace STREQUAL "-")
      string(APPEND header_body "namespace ${group_namespace} {\n")
    endif()
  elseif(line MATCHES "^@SC@ ---- (.*[^- ])[ -]*$")
    if(group_open AND NOT group_namespace STREQUAL "-")
      string(APPEND header_body "}  // namespace ${group_namespace}\n")
    endif()
    set(group_open FALSE)
    string(APPEND header_body "\n// ---- ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^[ \t]*\\.equ[ \t]+([A-Z][A-Z0-9_]*),[ \t]*([^@]+)(@SC@[ \t]*(.*))?$")
    set(name "${CMAKE_MATCH_1}")
    string(STRIP "${CMAKE_MATCH_2}" expression)
    set(comment "${CMAKE_MATCH_4}")
    # Names used in the expression are replaced by their values (hex digits such as the FF of
    # 0xFF follow a character that keeps them from being taken for names).
    set(evaluated " ${expression}")
    string(REGEX MATCHALL "[^0-9A-Za-z_][A-Z][A-Z0-9_]*" used "${evaluated}")
    foreach(token IN LISTS used)
      string(SUBSTRING "${token}" 1 -1 used_name)
      if(NOT DEFINED map_value_${used_name})
        message(FATAL_ERROR "memory_map.inc: ${name} uses ${used_name} before it is defined")
      endif()
      string(REGEX REPLACE "([^0-9A-Za-z_])${used_name}([^0-9A-Za-z_]|$)"
                           "\\1${map_value_${used_name}}\\2" evaluated "${evaluated}")
    endforeach()
    math(EXPR value "${evaluated}")
    set(map_value_${name} "${value}")
    if(NOT group_open)
      message(FATAL_ERROR "memory_map.inc: ${name} is outside any ;@c++ group")
    endif()
    qvx_cpp_name("${name}" "${group_prefix}" cpp_name)
    qvx_cpp_literal("${value}" "${group_type}" "${name}" literal)
    set(declaration "inline constexpr ${group_type} ${cpp_name}{${literal}};")
    if(comment)
      string(REPLACE "@SC@" ";" comment "${comment}")
      string(APPEND declaration "  // ${comment}")
    endif()
    string(APPEND header_body "${declaration}\n")
  elseif(group_open AND line MATCHES "^[ \t]*@SC@[ \t]*(.+)$")
    string(REPLACE "@SC@" ";" comment "${CMAKE_MATCH_1}")
    string(APPEND header_body "// ${comment}\n")
  endif()
endforeach()
if(group_open AND NOT group_namespace STREQUAL "-")
  string(APPEND header_body "}  // namespace ${group_namespace}\n")
endif()
foreach(required SAMPLE_TABLE)
  if(NOT DEFINED map_value_${required})
    message(FATAL_ERROR "memory_map.inc: ${required} is missing")
  endif()
endforeach()

# ---- Assemble, link, check -----------------------------------------------------------------
file(MAKE_DIRECTORY "${OUTPUT_DIR}")
set(object "${OUTPUT_DIR}/${driver_name}.o")
set(binary "${OUTPUT_DIR}/${driver_name}.bin")

execute_process(
  COMMAND "${AS}" -march=z80 --fatal-warnings -I "${INCLUDE_DIR}"
          "-a=${OUTPUT_DIR}/${driver_name}.lst" -o "${object}" "${SOURCE}"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "sound driver: the assembler refused ${SOURCE}:\n${out}${err}")
endif()

execute_process(
  COMMAND "${LD}" -Ttext=0 --oformat binary "-Map=${OUTPUT_DIR}/${driver_name}.map"
          -o "${binary}" "${object}" "${CHECKS}"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "sound driver: link checks failed:\n${out}${err}")
endif()

# The driver's bytes run from address 0 up to the sample table.
file(SIZE "${binary}" size)
if(NOT size EQUAL map_value_SAMPLE_TABLE)
  message(FATAL_ERROR "sound driver: the image is ${size} bytes; it must end where the sample "
                      "table starts, at ${map_value_SAMPLE_TABLE}")
endif()

# ---- Generated sources ---------------------------------------------------------------------
set(cpp_namespace "")
set(size_name kDriverSize)
if(NAMESPACE)
  set(cpp_namespace "::${NAMESPACE}")
  set(size_name "${NAMESPACE}::kDriverSize")
endif()
if(HPP_OUTPUT)
  file(WRITE "${HPP_OUTPUT}.tmp"
"// Generated from driver/${MAP} by driver/assemble_driver.cmake. Do not edit: change
// ${MAP}, which the driver assembles with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvx::driver${cpp_namespace} {

// The assembled driver: its bytes fill the image from address 0 up to the sample table.
inline constexpr std::size_t kDriverSize{${size}};
${header_body}
}  // namespace qvx::driver${cpp_namespace}
")
  file(RENAME "${HPP_OUTPUT}.tmp" "${HPP_OUTPUT}")
endif()

if(CPP_OUTPUT)
  include("${CMAKE_CURRENT_LIST_DIR}/embed_bytes.cmake")
  qvx_embed_bytes("${binary}" "${CPP_OUTPUT}" "driver/${driver_name}.s" "${HEADER}"
                  "${size_name}" ${FUNCTION})
endif()
