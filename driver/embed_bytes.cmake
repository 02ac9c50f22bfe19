# qvx_embed_bytes(BINARY CPP_OUTPUT ORIGIN HEADER SIZE FUNCTION)
# Writes a C++ source that holds the bytes of BINARY and defines
#   std::span<const std::uint8_t, SIZE> qvx::driver::FUNCTION()
# as declared in HEADER. ORIGIN names the source the bytes were built from. The file is replaced
# only once it is complete.
function(qvx_embed_bytes binary cpp_output origin header size function)
  file(READ "${binary}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x..," 16 sixteen)
  string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")
  file(WRITE "${cpp_output}.tmp"
"// Generated from ${origin} at build time. Do not edit.
#include \"${header}\"

namespace qvx::driver {
namespace {
constexpr std::array<std::uint8_t, ${size}> kBytes = {
    ${bytes}
};
}  // namespace

std::span<const std::uint8_t, ${size}> ${function}() { return kBytes; }

}  // namespace qvx::driver
")
  file(RENAME "${cpp_output}.tmp" "${cpp_output}")
endfunction()
