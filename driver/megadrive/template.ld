/* Links the Mega Drive test ROM's template: one 32 KB block from address 0, and refuses a
   build in which a fixed offset moved or a part outgrew its room. */
OUTPUT_ARCH(m68k)
SECTIONS
{
  . = 0;
  .text : { *(.text) . = 0x8000; } = 0
  /DISCARD/ : { *(.data) *(.bss) *(.comment) *(.note*) }
}
ASSERT(vectors == 0x000, "Mega Drive template: the vectors must start the ROM")
ASSERT(header == 0x100, "Mega Drive template: the cartridge header must lie at 0x100")
ASSERT(startup == 0x200, "Mega Drive template: the program must start at 0x200")
ASSERT(startup_end <= 0x46E, "Mega Drive template: the start-up program runs into the RTEs at 0x46E")
ASSERT(rte_other == 0x46E, "Mega Drive template: the common RTE must lie at 0x46E")
ASSERT(rte_hblank == 0x470, "Mega Drive template: the horizontal-blank RTE must lie at 0x470")
ASSERT(rte_vblank == 0x472, "Mega Drive template: the vertical-blank RTE must lie at 0x472")
ASSERT(z80_port == 0x474, "Mega Drive template: the Z80 port must lie at 0x474")
ASSERT(title_tiles == 0x1474, "Mega Drive template: the tiles must lie at 0x1474")
ASSERT(title_palette == 0x1BF4, "Mega Drive template: the palette must lie at 0x1BF4")
ASSERT(title_names == 0x1C14, "Mega Drive template: the name table must lie at 0x1C14")
ASSERT(title_end <= 0x2314, "Mega Drive template: the picture runs past 0x2314")
