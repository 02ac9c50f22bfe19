# Checks the include structure of the source tree. Run in script mode:
#   cmake -DSOURCE_DIR=... [-DGENERATED_DIR=...] -P check_layering.cmake
# Fails, listing every offending line, when
#   - a folder includes a folder listed before it (the README's layout: each folder uses only the
#     folders listed after it),
#   - a quoted include is not a path from the top of the tree (or of the generated sources),
#   - a file outside the editor (and its tests and benchmarks) includes a Qt header,
#   - a file outside the editor, the sound library, the tests and the benchmarks reaches the
#     sound library's audio side (its C exports, its library object, SDL).

set(layers editor tools rombuild voices song soundlib driver)
set(free_folders tests bench fuzz examples)  # may use every layer
set(audio_users editor soundlib tests bench)
set(qt_users editor tests/editor bench/editor)

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
     "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.hpp" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.c")

set(problems "")
foreach(source IN LISTS sources)
  if(source MATCHES "^(build|\\.)")
    continue()
  endif()
  string(REGEX MATCH "^[^/]+" folder "${source}")
  list(FIND layers "${folder}" rank)
  list(FIND free_folders "${folder}" free)
  if(rank EQUAL -1 AND free EQUAL -1)
    continue()
  endif()
  set(qt_allowed FALSE)
  foreach(prefix IN LISTS qt_users)
    if(source MATCHES "^${prefix}/")
      set(qt_allowed TRUE)
    endif()
  endforeach()
  list(FIND audio_users "${folder}" audio_allowed)

  file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+\\.moc)\"")
      # Qt's moc writes these next to the object files.
      continue()
    elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(included "${CMAKE_MATCH_1}")
      if(NOT EXISTS "${SOURCE_DIR}/${included}" AND
         NOT (GENERATED_DIR AND EXISTS "${GENERATED_DIR}/${included}"))
        string(APPEND problems "${source}: \"${included}\" is not a path from the top of the tree\n")
        continue()
      endif()
      string(REGEX MATCH "^[^/]+" target "${included}")
      list(FIND layers "${target}" target_rank)
      if(rank GREATER -1 AND target_rank GREATER -1 AND target_rank LESS rank)
        string(APPEND problems "${source}: ${folder}/ may not use ${target}/ (\"${included}\")\n")
      elseif(rank GREATER -1 AND target_rank EQUAL -1)
        string(APPEND problems "${source}: ${folder}/ may not use ${target}/ (\"${included}\")\n")
      endif()
      if(audio_allowed EQUAL -1 AND included MATCHES "^soundlib/(include/|library\\.hpp|audio/)")
        string(APPEND problems "${source}: only the editor plays through the sound library (\"${included}\")\n")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]+[^>]*)>")
      if(NOT qt_allowed)
        string(APPEND problems "${source}: Qt header <${CMAKE_MATCH_1}> outside the editor\n")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<(SDL[^>]*)>")
      if(audio_allowed EQUAL -1)
        string(APPEND problems "${source}: SDL header <${CMAKE_MATCH_1}> outside the sound library\n")
      endif()
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "The include structure is broken:\n${problems}")
endif()
list(LENGTH sources count)
message(STATUS "Include structure checked: ${count} files")
