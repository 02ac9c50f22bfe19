# Builds the Mega Drive test ROM's template: assembles and checks the Z80 port of the driver,
# then the 68000 program around it (with the title screen made by make_title_screen), and
# writes the C++ source that embeds the 32768 bytes. Run in script mode:
#   cmake -DZ80_AS=... -DZ80_LD=... -DM68K_AS=... -DM68K_LD=... -DM68K_OBJCOPY=...
#         -DDRIVER_DIR=... -DWORK_DIR=... -DCPP_OUTPUT=... -P assemble_megadrive.cmake
# WORK_DIR holds title_screen.s already; the port's and the template's binaries, listings and
# maps are left there.

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Mega Drive template: ${what} failed:\n${out}${err}")
  endif()
endfunction()

function(require_size file expected what)
  file(SIZE "${file}" size)
  if(NOT size EQUAL expected)
    message(FATAL_ERROR "Mega Drive template: ${what} is ${size} bytes; it must be ${expected}")
  endif()
endfunction()

set(md_dir "${DRIVER_DIR}/megadrive")

# The Z80 port: the sequencer and the memory map come from the driver's folder.
run("assembling the Z80 port"
    "${Z80_AS}" -march=z80 --fatal-warnings -I "${DRIVER_DIR}" "-a=${WORK_DIR}/md_port.lst"
    -o "${WORK_DIR}/md_port.o" "${md_dir}/md_port.s")
run("the Z80 port's link checks"
    "${Z80_LD}" -Ttext=0 --oformat binary "-Map=${WORK_DIR}/md_port.map"
    -o "${WORK_DIR}/md_port.bin" "${WORK_DIR}/md_port.o" "${md_dir}/md_port_checks.ld")
require_size("${WORK_DIR}/md_port.bin" 4096 "the Z80 port")

# The 68000 program includes the port's binary and the title screen from the work folder.
run("assembling the 68000 program"
    "${M68K_AS}" -m68000 --fatal-warnings -I "${WORK_DIR}" "-a=${WORK_DIR}/template.lst"
    -o "${WORK_DIR}/template.o" "${md_dir}/template.s")
run("the template's link checks"
    "${M68K_LD}" -T "${md_dir}/template.ld" "-Map=${WORK_DIR}/template.map"
    -o "${WORK_DIR}/template.elf" "${WORK_DIR}/template.o")
run("extracting the template's bytes"
    "${M68K_OBJCOPY}" -O binary "${WORK_DIR}/template.elf" "${WORK_DIR}/template.bin")
require_size("${WORK_DIR}/template.bin" 32768 "the template")

include("${DRIVER_DIR}/embed_bytes.cmake")
qvx_embed_bytes("${WORK_DIR}/template.bin" "${CPP_OUTPUT}" "driver/megadrive"
                "driver/megadrive_template.hpp" kMegaDriveTemplateSize megaDriveTemplate)
