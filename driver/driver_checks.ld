/* Refuses a driver build in which a fixed address moved or the code outgrew its room. The
   addresses come from memory_map.inc. */
ASSERT(reset_entry == RESET_ENTRY, "sound driver: the reset entry must stay at RESET_ENTRY")
ASSERT(auto_start_flag == AUTO_START_FLAG, "sound driver: the auto-start flag must stay at AUTO_START_FLAG")
ASSERT(rst_write_a == RST_WRITE_A, "sound driver: the port A write routine must stay at RST_WRITE_A")
ASSERT(rst_write_b == RST_WRITE_B, "sound driver: the port B write routine must stay at RST_WRITE_B")
ASSERT(rst_times32 == RST_TIMES32, "sound driver: the multiply-by-32 routine must stay at RST_TIMES32")
ASSERT(tick_entry == TICK_ENTRY, "sound driver: the tick handler must stay at TICK_ENTRY")
ASSERT(command_entry == COMMAND_ENTRY, "sound driver: the command handler must stay at COMMAND_ENTRY")
ASSERT(idle_loop >= MAIN_CODE, "sound driver: the idle loop must lie at MAIN_CODE or above, where the board delivers commands")
ASSERT(halt_loop >= MAIN_CODE, "sound driver: the halt loop must lie at MAIN_CODE or above, where the board delivers commands")
ASSERT(code_end <= SAMPLE_TABLE, "sound driver: code and tables run into the sample table")
ASSERT(driver_end == SAMPLE_TABLE, "sound driver: the image must end where the sample table starts")
