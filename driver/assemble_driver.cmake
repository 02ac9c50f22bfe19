# Assembles and links the Z80 sound driver, checks it, and writes the C++ source that embeds
# its bytes. Run in script mode:
#   cmake -DAS=... -DLD=... -DSOURCE=... -DINCLUDE_DIR=... -DCHECKS=... -DOUTPUT_DIR=...
#         [-DCPP_OUTPUT=file.cpp] -P assemble_driver.cmake
# Used by the build and by the test that makes sure a broken driver is refused.

set(expected_size 1265)
file(MAKE_DIRECTORY "${OUTPUT_DIR}")
set(object "${OUTPUT_DIR}/sound_driver.o")
set(binary "${OUTPUT_DIR}/sound_driver.bin")

execute_process(
  COMMAND "${AS}" -march=z80 --fatal-warnings -I "${INCLUDE_DIR}"
          "-a=${OUTPUT_DIR}/sound_driver.lst" -o "${object}" "${SOURCE}"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "sound driver: the assembler refused ${SOURCE}:\n${out}${err}")
endif()

execute_process(
  COMMAND "${LD}" -Ttext=0 --oformat binary "-Map=${OUTPUT_DIR}/sound_driver.map"
          -o "${binary}" "${object}" "${CHECKS}"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "sound driver: link checks failed:\n${out}${err}")
endif()

file(SIZE "${binary}" size)
if(NOT size EQUAL expected_size)
  message(FATAL_ERROR "sound driver: the image is ${size} bytes, it must be exactly ${expected_size}")
endif()

if(CPP_OUTPUT)
  file(READ "${binary}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x..," 16 sixteen)
  string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")
  file(WRITE "${CPP_OUTPUT}.tmp"
"// Generated from driver/sound_driver.s by driver/assemble_driver.cmake. Do not edit.
#include \"driver/sound_driver.hpp\"

namespace qvx::driver {
namespace {
constexpr std::array<std::uint8_t, kDriverSize> kImage = {
    ${bytes}
};
}  // namespace

std::span<const std::uint8_t, kDriverSize> image() { return kImage; }

}  // namespace qvx::driver
")
  file(RENAME "${CPP_OUTPUT}.tmp" "${CPP_OUTPUT}")
endif()
