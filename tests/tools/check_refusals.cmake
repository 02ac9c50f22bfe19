# Runs `qvxtool adpcm` and `qvxtool roms --sample` on every file of FOLDER/manifest.txt (a file
# name, a tab, the message) and checks that each says "qvxtool: MESSAGE", exits with status 1 (a
# signal would show as another status) and writes nothing.
#   cmake -DPROGRAM=... -DFOLDER=... -P check_refusals.cmake
file(STRINGS "${FOLDER}/manifest.txt" lines)
set(failures "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "\t.*" "" name "${line}")
  string(REGEX REPLACE "^[^\t]*\t" "" message "${line}")
  set(out "${FOLDER}/never-written.bin")
  foreach(command "adpcm;${FOLDER}/${name};-o;${out}" "roms;--sample;${FOLDER}/${name};--v1;${out}")
    file(REMOVE "${out}")
    execute_process(COMMAND "${PROGRAM}" ${command}
                    RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_QUIET TIMEOUT 30)
    list(GET command 0 verb)
    if(NOT status STREQUAL "1" OR NOT said STREQUAL "qvxtool: ${message}\n" OR EXISTS "${out}")
      list(APPEND failures "${verb} ${name}: status ${status}, said \"${said}\"")
    endif()
  endforeach()
endforeach()
list(LENGTH lines count)
if(failures)
  string(REPLACE ";" "\n  " failures "${failures}")
  message(FATAL_ERROR "Of ${count} damaged files:\n  ${failures}")
endif()
message(STATUS "${count} damaged files refused by adpcm and roms")
