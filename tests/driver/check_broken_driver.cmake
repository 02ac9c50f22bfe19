# Builds a deliberately broken copy of the sound driver and passes only when the driver build
# refuses it with the expected message.
#   cmake -DCASE=<overflow|moved_entry|low_loop> -DDRIVER_DIR=... -DWORK_DIR=... <assemble args> -P this
# The copy is of the driver's sources, so that a break in an included file assembles too.
set(copy "${WORK_DIR}/src")
file(REMOVE_RECURSE "${copy}")
file(COPY "${DRIVER_DIR}/" DESTINATION "${copy}" FILES_MATCHING PATTERN "*.s" PATTERN "*.inc")

if(CASE STREQUAL "overflow")
  set(file sound_driver.s)
  file(READ "${copy}/${file}" source)
  string(REPLACE "code_end:" "        .fill   400, 1, 0\ncode_end:" broken "${source}")
  set(expected "the assembler refused")
elseif(CASE STREQUAL "moved_entry")
  set(file board.inc)
  file(READ "${copy}/${file}" source)
  string(REPLACE ".org    COMMAND_ENTRY" ".org    COMMAND_ENTRY + 2" broken "${source}")
  set(expected "the command handler must stay at COMMAND_ENTRY")
elseif(CASE STREQUAL "low_loop")
  set(file board.inc)
  file(READ "${copy}/${file}" source)
  string(REPLACE "idle_loop:\n        jr      idle_loop" "        jp      idle_loop" broken "${source}")
  string(REPLACE "\nsong_magic:" "\nidle_loop:\n        jr      idle_loop\nsong_magic:" broken "${broken}")
  set(expected "the idle loop must lie at MAIN_CODE or above")
else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
if(broken STREQUAL source)
  message(FATAL_ERROR "the driver source changed; this test no longer breaks it (case ${CASE})")
endif()
file(WRITE "${copy}/${file}" "${broken}")

execute_process(
  COMMAND "${CMAKE_COMMAND}" -DAS=${AS} -DLD=${LD} -DINCLUDE_DIR=${copy} -DCHECKS=${CHECKS}
          -DSOURCE=${copy}/sound_driver.s -DOUTPUT_DIR=${WORK_DIR}
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
