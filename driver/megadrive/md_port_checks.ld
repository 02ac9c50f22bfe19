/* Refuses a Mega Drive port in which an entry point moved or the code outgrew the 4096 bytes the
   68000 copies. The addresses come from memory_map.inc. */
ASSERT(reset_entry == 0, "Mega Drive port: the reset entry must stay at 0")
ASSERT(rst_write_a == RST_WRITE_A, "Mega Drive port: the part 1 write routine must stay at RST_WRITE_A")
ASSERT(rst_write_b == RST_WRITE_B, "Mega Drive port: the part 2 write routine must stay at RST_WRITE_B")
ASSERT(rst_times32 == RST_TIMES32, "Mega Drive port: the multiply-by-32 routine must stay at RST_TIMES32")
ASSERT(tick_entry == TICK_ENTRY, "Mega Drive port: the interrupt handler must stay at TICK_ENTRY")
ASSERT(code_end <= MD_CODE_BYTES, "Mega Drive port: code and tables outgrew MD_CODE_BYTES")
ASSERT(port_end == MD_CODE_BYTES, "Mega Drive port: the binary must be exactly MD_CODE_BYTES long")
ASSERT(SEQUENCER_VARIABLES == MD_VARIABLES, "Mega Drive port: the sequencer's variables must lie at MD_VARIABLES")
