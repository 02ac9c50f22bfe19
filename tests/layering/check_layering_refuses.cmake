# The include check must refuse each kind of wrong include, and only those. Builds a small tree
# with one of each and runs check_layering.cmake on it:
#   cmake -DWORK_DIR=... -P check_layering_refuses.cmake
set(tree "${WORK_DIR}/tree")
set(generated "${WORK_DIR}/generated")
file(REMOVE_RECURSE "${WORK_DIR}")
file(WRITE "${generated}/driver/memory_map.hpp" "")
file(WRITE "${tree}/rombuild/song_block.hpp" "")
file(WRITE "${tree}/soundlib/include/qvxsnd.h" "")
file(WRITE "${tree}/tools/qvxtool/commands.hpp" "")
file(WRITE "${tree}/song/model.cpp" "#include \"rombuild/song_block.hpp\"\n")
file(WRITE "${tree}/rombuild/view.cpp" "#include <QWidget>\n")
file(WRITE "${tree}/rombuild/play.cpp" "#include \"soundlib/include/qvxsnd.h\"\n")
file(WRITE "${tree}/tools/qvxtool/info.cpp" "#include \"commands.hpp\"\n")
file(WRITE "${tree}/soundlib/board.cpp" "#include \"driver/memory_map.hpp\"\n")
file(WRITE "${tree}/editor/window.cpp" "#include <QWidget>\n#include \"soundlib/include/qvxsnd.h\"\n")

execute_process(
  COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${tree} -DGENERATED_DIR=${generated}
          -P "${CMAKE_CURRENT_LIST_DIR}/check_layering.cmake"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX REPLACE "[ \n]+" " " flat "${out}${err}")
if(result EQUAL 0)
  message(FATAL_ERROR "the include check accepted a tree with wrong includes:\n${out}${err}")
endif()
foreach(expected
    "song/model.cpp: song/ may not use rombuild/"
    "rombuild/view.cpp: Qt header <QWidget> outside the editor"
    "rombuild/play.cpp: only the editor plays through the sound library"
    "tools/qvxtool/info.cpp: \"commands.hpp\" is not a path from the top of the tree")
  string(FIND "${flat}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the include check did not report \"${expected}\":\n${out}${err}")
  endif()
endforeach()
foreach(allowed "soundlib/board.cpp" "editor/window.cpp")
  string(FIND "${flat}" "${allowed}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the include check refused ${allowed}, which is allowed:\n${out}${err}")
  endif()
endforeach()
message(STATUS "each wrong include was refused")
