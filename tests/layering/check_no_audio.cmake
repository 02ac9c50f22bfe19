# Building and exporting must not need the sound library or an audio device. Run in script mode:
#   cmake -DNM=... -DLIBRARY=librombuild.a -DPROGRAM=qvxtool -P check_no_audio.cmake
# Fails when the library refers to SDL or to the sound library's exports, or when the program
# loads either.
set(audio_symbols "SDL_[A-Za-z0-9_]+|initSound|stopSound|sendData|sendCommand|loadInstrument|KeyDown|KeyUp|soundStatus")

execute_process(COMMAND "${NM}" --undefined-only "${LIBRARY}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}:\n${err}")
endif()
string(REGEX MATCHALL " U (${audio_symbols})\n" found "${out}")
if(found)
  message(FATAL_ERROR "${LIBRARY} refers to the sound library or SDL:\n${found}")
endif()

execute_process(COMMAND ldd "${PROGRAM}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ldd failed on ${PROGRAM}:\n${err}")
endif()
string(REGEX MATCHALL "lib(SDL2|qvxsnd)[^\n]*" found "${out}")
if(found)
  message(FATAL_ERROR "${PROGRAM} loads the sound library or SDL:\n${found}")
endif()
message(STATUS "no audio in ${LIBRARY} or ${PROGRAM}")
