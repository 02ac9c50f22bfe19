# Builds a deliberately broken copy of the sound driver and passes only when the driver build
# refuses it with the expected message.
#   cmake -DCASE=<overflow|moved_entry|low_loop> -DDRIVER_DIR=... -DWORK_DIR=... <assemble args> -P this
file(READ "${DRIVER_DIR}/sound_driver.s" source)

if(CASE STREQUAL "overflow")
  string(REPLACE "code_end:" "        .fill   400, 1, 0\ncode_end:" broken "${source}")
  set(expected "the assembler refused")
elseif(CASE STREQUAL "moved_entry")
  string(REPLACE ".org    COMMAND_ENTRY" ".org    COMMAND_ENTRY + 2" broken "${source}")
  set(expected "the command handler must stay at COMMAND_ENTRY")
elseif(CASE STREQUAL "low_loop")
  string(REPLACE "idle_loop:\n        jr      idle_loop" "        jp      idle_loop" broken "${source}")
  string(REPLACE "\nadpcm_channel_bits:" "\nidle_loop:\n        jr      idle_loop\nadpcm_channel_bits:" broken "${broken}")
  set(expected "the idle loop must lie at MAIN_CODE or above")
else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
if(broken STREQUAL source)
  message(FATAL_ERROR "the driver source changed; this test no longer breaks it (case ${CASE})")
endif()

file(MAKE_DIRECTORY "${WORK_DIR}")
file(WRITE "${WORK_DIR}/broken.s" "${broken}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -DAS=${AS} -DLD=${LD} -DINCLUDE_DIR=${INCLUDE_DIR} -DCHECKS=${CHECKS}
          -DSOURCE=${WORK_DIR}/broken.s -DOUTPUT_DIR=${WORK_DIR}
          -P "${DRIVER_DIR}/assemble_driver.cmake"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(result EQUAL 0)
  message(FATAL_ERROR "a broken driver (${CASE}) was accepted")
endif()
# CMake wraps long messages; compare with the line breaks taken out.
string(REGEX REPLACE "[ \n]+" " " flat "${out}${err}")
if(NOT flat MATCHES "${expected}")
  message(FATAL_ERROR "a broken driver (${CASE}) was refused, but not with \"${expected}\":\n${out}${err}")
endif()
message(STATUS "refused as expected: ${expected}")
