; QVXTracker sound driver for the Neo Geo sound board: a Z80 at 4 MHz driving a YM2610.
;
; The driver plays songs on the YM2610's four FM channels, starts ADPCM-A samples and obeys
; one-byte commands from the main CPU. Everything happens in two interrupt handlers:
;
;   tick_handler     (IRQ, mode 1, TICK_ENTRY)  counts ticks; every SPEED ticks plays a row
;   command_entry    (NMI, COMMAND_ENTRY)      reads the command from port 0 and carries it out
;
; The main program only sets the board up and then idles. Where to look:
;   startup .......... power-on and COMMAND_RESTART
;   command_entry .... queues the command and runs it, now or as soon as it is safe
;   run_command ...... the command table
;   start_song ....... finds song n behind the sample table and starts it
;   row_step ......... one row: four cells, then the next row / order entry
;   play_track ....... one cell: voice load, effect, key on, frequency
;   load_voice, run_effect, trigger_sample
;
; Each routine's comment names the registers it clobbers; the handlers save everything.
;
; Commands run in the order they arrive, each as soon as it can. Every NMI first puts its
; command in COMMAND_QUEUE; HANDLER_BUSY says who runs the queue:
;
;   HANDLER_FREE      nobody: the NMI itself runs the queue, then frees it again (serve_commands)
;   HANDLER_COMMANDS  commands are being run (or the driver starts up): the new one is run by
;                     whoever is running them, after those before it
;   HANDLER_ROW       the tick handler is at work, perhaps deep in a row: the NMI runs the
;                     queue at once, between two of its instructions (command_busy); a song
;                     started or stopped there ends the tick's work (abandon_tick)
;
; So no command waits for a tick, none overtakes another, and the row step keeps its timing to
; the T-state when no command comes.

        .include "memory_map.inc"

        .equ    CHIP_CLOCK, 8000000     ; the YM2610's, which the F-number table is made for

; The sequencer's hooks (sequencer.inc): songs lie back to back from FIRST_SONG_BLOCK, and a
; song that reaches the end of its order list starts over.
        .macro  first_song_block_to_hl
        ld      hl,FIRST_SONG_BLOCK
        .endm
        .macro  order_list_ended
        xor     a
        .endm

        ; For the checks in driver_checks.ld:
        .global reset_entry, auto_start_flag, rst_write_a, rst_write_b, rst_times32
        .global tick_entry, command_entry, idle_loop, halt_loop, code_end, driver_end
        .global RESET_ENTRY, AUTO_START_FLAG, RST_WRITE_A, RST_WRITE_B, RST_TIMES32
        .global TICK_ENTRY, COMMAND_ENTRY, MAIN_CODE, SAMPLE_TABLE

        .text

; ==== Fixed entry points (RESET_ENTRY up to MAIN_CODE) =====================================
; The emulated board never delivers a command while the CPU runs below MAIN_CODE, so the chip
; write routines live here, where a register write can never be split by a command.

        .org    RESET_ENTRY
reset_entry:
        di
        jp      startup

        .org    AUTO_START_FLAG
auto_start_flag:
        .byte   0               ; the Neo Geo test ROM sets this to 1

; RST_WRITE_A: YM2610 register D := E on the first register bank (ports 4/5). Clobbers A.
        .org    RST_WRITE_A
rst_write_a:
        jp      write_port_a

; RST_WRITE_B: YM2610 register D := E on the second register bank (ports 6/7). Clobbers A.
        .org    RST_WRITE_B
rst_write_b:
        jp      write_port_b

        .include "times32.inc"

; The real YM2610 is busy for about 9 T-states after an address write and 42 after a data
; write. Here 15 T-states separate address and data, and the EX (SP),HL, the return and the
; next call keep any following write at least 84 T-states after the data. Clobbers A.
write_port_a:
        ld      a,d
        out     (PORT_YM_ADDR_A),a
write_port_a_latched:           ; a command run from here to the data write must latch D again
        ld      a,e
write_port_a_data_out:
        out     (PORT_YM_DATA_A),a
        ex      (sp),hl
        ex      (sp),hl
        ret

        .org    TICK_ENTRY
tick_entry:
        jp      tick_handler

; As write_port_a, on the second bank. Clobbers A.
write_port_b:
        ld      a,d
        out     (PORT_YM_ADDR_B),a
write_port_b_latched:
        ld      a,e
write_port_b_data_out:
        out     (PORT_YM_DATA_B),a
        ex      (sp),hl
        ex      (sp),hl
        ret

song_magic:                     ; SONG_MAGIC_BYTES at the head of every song block
        .ascii  "QVX0"
key_codes:                      ; YM_KEY_ON channel codes of tracks 1-4
        .byte   YM_KEY_TRACK_1, YM_KEY_TRACK_2, YM_KEY_TRACK_3, YM_KEY_TRACK_4
adpcm_channel_bits:             ; YM_ADPCMA_KEY bits of channels 0-5
        .byte   0x01, 0x02, 0x04, 0x08, 0x10, 0x20

; The command NMI: queues the command, then runs the queue if nobody else does (see the head of
; this file). Saves every register it uses.
        .org    COMMAND_ENTRY
command_entry:
        push    af
        push    hl
        ld      hl,HANDLER_BUSY
        ld      a,(hl)
        ld      (hl),HANDLER_COMMANDS   ; an NMI from here on only queues its command
        push    af
        ld      hl,QUEUE_TAIL
        ld      a,(hl)
        inc     (hl)            ; the slot is ours before the port read lets the next NMI in
        ld      l,a
        ld      h,COMMAND_QUEUE >> 8
        in      a,(PORT_COMMAND)
        ld      (hl),a
        pop     af              ; who was busy
        push    bc
        push    de
        or      a
        jp      nz,command_busy ; HANDLER_FREE: nobody, so this NMI runs the queue
        call    serve_commands
command_return:
        pop     de
        pop     bc
        pop     hl
        pop     af
        retn

        .if     COMMAND_QUEUE & 0xFF
        .error  "the command queue must fill one page, so that its indexes wrap by themselves"
        .endif

; ==== Start-up ==============================================================================

; Power-on (the queue starts empty, whatever the RAM holds) and COMMAND_RESTART (commands
; queued behind it stay). Sets everything up, then idles with interrupts on.
        .org    MAIN_CODE
startup:
        ld      sp,STACK_TOP
        ld      a,(QUEUE_TAIL)
        ld      (QUEUE_HEAD),a
restart_entry:
        ; After COMMAND_RESTART we arrive here from inside the command handler, which never
        ; returned; RETN ends that handler so the board delivers ticks again. Interrupts stay
        ; disabled (DI ran before, so IFF2 is 0).
        call    leave_handler
        ld      a,HANDLER_COMMANDS      ; commands wait until start-up is done
        ld      (HANDLER_BUSY),a
        xor     a
        ld      (PLAYING),a
        ld      (NEXT_ADPCM_CHANNEL),a
        im      1
        call    select_linear_banks
        ; The tick is timer A's interrupt; timer B stays stopped.
        ld      de,(YM_TIMER_CONTROL << 8) | YM_TIMERS_STOPPED
        rst     RST_WRITE_A
        ld      de,(YM_TIMER_A_HIGH << 8) | (YM_TIMER_A_VALUE >> 2)
        rst     RST_WRITE_A
        ld      de,(YM_TIMER_A_LOW << 8) | (YM_TIMER_A_VALUE & 3)
        rst     RST_WRITE_A
        ld      de,(YM_TIMER_CONTROL << 8) | YM_TIMER_A_RUNNING
        rst     RST_WRITE_A
        call    set_outputs
        ld      de,(YM_ADPCMA_TOTAL_LEVEL << 8) | YM_ADPCMA_FULL_VOLUME
        rst     RST_WRITE_B
        out     (PORT_NMI_ENABLE),a     ; the stack and both handlers are ready for commands
        ld      a,(AUTO_START_FLAG)
        or      a
        jr      z,startup_idle
        ld      a,1             ; always song 1, whatever the flag's value
        call    start_song
startup_idle:
        call    serve_commands
        ei
idle_loop:
        jr      idle_loop

; Returns to the caller and marks the board's interrupt as served. Clobbers nothing.
leave_handler:
        retn

; Sets the four M1 windows so that 0x8000-0xF7FF show the M1 at the same addresses, whatever
; banks the board had chosen. Clobbers A, BC.
select_linear_banks:
        ld      bc,(BANK_WINDOW_0 << 8) | PORT_BANK_WINDOW_0
        in      a,(c)
        ld      bc,(BANK_WINDOW_1 << 8) | PORT_BANK_WINDOW_1
        in      a,(c)
        ld      bc,(BANK_WINDOW_2 << 8) | PORT_BANK_WINDOW_2
        in      a,(c)
        ld      bc,(BANK_WINDOW_3 << 8) | PORT_BANK_WINDOW_3
        in      a,(c)
        ret

; Both outputs on for the FM channels of both banks, and both outputs at full level for the six
; ADPCM-A channels, rather than trusting the chip's reset. Clobbers A, B, DE.
set_outputs:
        ld      b,3
        ld      d,YM_OUTPUT
        ld      e,YM_OUTPUT_BOTH
set_outputs_fm:
        rst     RST_WRITE_A
        rst     RST_WRITE_B
        inc     d
        djnz    set_outputs_fm
        ld      b,YM_ADPCMA_CHANNELS
        ld      d,YM_ADPCMA_LEVEL
        ld      e,YM_ADPCMA_BOTH_FULL
set_outputs_adpcma:
        rst     RST_WRITE_B
        inc     d
        djnz    set_outputs_adpcma
        ret

; ==== Tick handler ==========================================================================

; The tick IRQ. Saves every register it uses. It only ever interrupts the idle loop, so the
; stack is at TICK_STACK once the registers are saved.
        .equ    TICK_STACK, STACK_TOP - 2 - 8   ; the return address, AF, BC, DE, HL
tick_handler:
        di
        push    af
        push    bc
        push    de
        push    hl
        ld      a,HANDLER_ROW           ; a command now runs inside the tick (command_busy)
        ld      (HANDLER_BUSY),a
        ; Acknowledge timer A first: an overflow during a long row then raises the interrupt
        ; again as soon as this one returns, and no tick is lost.
        ld      de,(YM_TIMER_CONTROL << 8) | YM_TIMER_A_RUNNING
        rst     RST_WRITE_A
        xor     a
        out     (PORT_ACKNOWLEDGE),a
        ld      hl,TICK_COUNTER
        inc     (hl)
        ld      a,(SPEED)
        cp      (hl)            ; speed 0 means 256 ticks: the counter wraps back to 0
        jr      nz,tick_done
        ld      (hl),0
        call    row_step
tick_done:
        ld      a,HANDLER_COMMANDS
        ld      (HANDLER_BUSY),a
        call    serve_commands
        pop     hl
        pop     de
        pop     bc
        pop     af
        ei
        reti

; A command run inside the tick handler started or stopped a song: the rest of this tick's work
; belongs to the song before. Drops it and ends the tick as usual.
abandon_tick:
        ld      sp,TICK_STACK
        jp      tick_done

; ==== Commands ==============================================================================

; Runs the queued commands in order, then frees the queue for the next NMI to run. Called with
; HANDLER_COMMANDS taken. Clobbers AF, BC, DE, HL.
serve_commands:
        call    run_queued_commands
        xor     a
        ld      (HANDLER_BUSY),a        ; HANDLER_FREE
        ; An NMI that came after the last look but before the queue was freed has left its
        ; command to us; one that comes from now on runs the queue itself.
        ld      hl,QUEUE_HEAD
        ld      a,(QUEUE_TAIL)
        cp      (hl)
        ret     z
        ld      a,HANDLER_COMMANDS
        ld      (HANDLER_BUSY),a
        jr      serve_commands

; Runs the queued commands in the order they came. Clobbers AF, BC, DE, HL.
run_queued_commands:
        ld      hl,QUEUE_HEAD
        ld      a,(QUEUE_TAIL)
        cp      (hl)
        ret     z
        ld      a,(hl)
        inc     (hl)
        ld      l,a
        ld      h,COMMAND_QUEUE >> 8
        ld      a,(hl)
        call    run_command
        jr      run_queued_commands

; The rest of the command NMI when someone was busy (A). With HANDLER_COMMANDS they run this
; command after the ones before it. With HANDLER_ROW the tick handler was interrupted: the
; queue runs here and now, between two of its instructions, and the tick goes on afterwards.
; Only two things need care: the chip's address latch, and a song that changed under the row.
; The stack holds DE, BC, HL, AF and the interrupted PC.
        .equ    NMI_SAVED_D, 1
        .equ    NMI_RETURN, 8
command_busy:
        cp      HANDLER_ROW
        jp      nz,command_return       ; HANDLER_COMMANDS stays taken
        ld      a,(SONG_SERIAL)
        ld      b,a
command_in_tick:
        push    bc
        call    run_queued_commands
        pop     bc
        ld      hl,NMI_RETURN
        add     hl,sp
        ld      a,(SONG_SERIAL)
        cp      b
        jr      z,command_in_tick_latch
        ld      (hl),abandon_tick & 0xFF        ; return into abandon_tick instead
        inc     hl
        ld      (hl),abandon_tick >> 8
        jr      command_in_tick_done
command_in_tick_latch:
        ; Interrupted between a write routine's address and data writes (the emulated board
        ; never does that, the real one can): latch the address again for the data to come.
        ld      c,(hl)
        inc     hl
        ld      a,(hl)
        or      a
        jr      nz,command_in_tick_done ; the write routines lie in page 0
        ld      hl,NMI_SAVED_D
        add     hl,sp
        ld      e,(hl)
        ld      a,c
        sub     write_port_a_latched
        cp      write_port_a_data_out - write_port_a_latched + 1
        jr      nc,command_in_tick_bank_b
        ld      a,e
        out     (PORT_YM_ADDR_A),a
        jr      command_in_tick_done
command_in_tick_bank_b:
        ld      a,c
        sub     write_port_b_latched
        cp      write_port_b_data_out - write_port_b_latched + 1
        jr      nc,command_in_tick_done
        ld      a,e
        out     (PORT_YM_ADDR_B),a
command_in_tick_done:
        ld      a,HANDLER_ROW
        ld      (HANDLER_BUSY),a
        ; A command whose NMI came while the queue ran has been queued for us.
        ld      hl,QUEUE_HEAD
        ld      a,(QUEUE_TAIL)
        cp      (hl)
        jp      z,command_return
        ld      a,HANDLER_COMMANDS
        ld      (HANDLER_BUSY),a
        jr      command_in_tick

; Carries out command A and acknowledges it on PORT_ACKNOWLEDGE. Clobbers AF, BC, DE, HL.
; COMMAND_HALT and COMMAND_RESTART never return.
run_command:
        or      a
        jr      z,acknowledge   ; COMMAND_NOTHING
        jp      m,song_command  ; COMMAND_SONG and up
        cp      COMMAND_HALT
        jr      z,halt_command
        cp      COMMAND_RESTART
        jr      z,restart_command
        cp      COMMAND_ADPCM_OFF
        jr      z,adpcm_off_command
        call    trigger_sample  ; 0x02, 0x04-0x7E; answers with the ADPCM-A channel used
acknowledge:
        out     (PORT_ACKNOWLEDGE),a
        ret

; COMMAND_SONG + n starts song n; COMMAND_STOP stops. Answers with the command.
song_command:
        ld      hl,SONG_SERIAL
        inc     (hl)
        push    af
        and     COMMAND_SONG_NUMBER
        cp      COMMAND_STOP & COMMAND_SONG_NUMBER
        jr      z,song_command_stop
        call    start_song
        jr      song_command_done
song_command_stop:
        call    stop_song
song_command_done:
        pop     af
        jr      acknowledge

; COMMAND_ADPCM_OFF: key all six ADPCM-A channels off. Clobbers AF, DE.
adpcm_off_command:
        ld      de,(YM_ADPCMA_KEY << 8) | YM_ADPCMA_ALL_OFF
        rst     RST_WRITE_B
        ld      a,COMMAND_ADPCM_OFF
        jr      acknowledge

; COMMAND_HALT: prepare for a slot switch. Ticks stop; commands are still taken
; (COMMAND_RESTART restarts). Never returns.
halt_command:
        di
        ld      sp,STACK_TOP
        out     (PORT_ACKNOWLEDGE),a    ; answers COMMAND_HALT
halt_loop:
        ld      a,HANDLER_COMMANDS      ; runs what is queued; an NMI in between runs it itself
        ld      (HANDLER_BUSY),a
        call    serve_commands
        jr      halt_loop

; COMMAND_RESTART: start over as at power-on, without acknowledging. Never returns.
restart_command:
        di
        ld      sp,STACK_TOP
        jp      restart_entry

        .include "sequencer.inc"

; ==== Samples ===============================================================================

; Plays the sample of command A's table entry on the next of the six ADPCM-A channels, in
; rotation. Returns the channel in A; clobbers F, BC, DE, HL.
trigger_sample:
        ld      l,a
        ld      h,0
        add     hl,hl
        add     hl,hl
        ld      de,SAMPLE_TABLE
        add     hl,de
        ld      a,(NEXT_ADPCM_CHANNEL)
        ld      c,a
        ld      (LAST_ADPCM_CHANNEL),a
        inc     a
        cp      YM_ADPCMA_CHANNELS
        jr      c,trigger_sample_rotate
        xor     a
trigger_sample_rotate:
        ld      (NEXT_ADPCM_CHANNEL),a
        ld      b,YM_ADPCMA_START_LOW
        call    write_sample_register
        ld      b,YM_ADPCMA_START_HIGH
        call    write_sample_register
        ld      b,YM_ADPCMA_END_LOW
        call    write_sample_register
        ld      b,YM_ADPCMA_END_HIGH
        call    write_sample_register
        ld      hl,adpcm_channel_bits
        ld      b,0
        add     hl,bc
        ; The chip raises a channel's end flag when a sample ends and keeps the channel silent
        ; while it is raised; a key-on does not clear it. Writing the channel's bit clears (and
        ; masks) it, writing 0 unmasks it again.
        ld      d,YM_ADPCMA_FLAGS
        ld      e,(hl)
        rst     RST_WRITE_A
        ld      e,0
        rst     RST_WRITE_A
        ld      d,YM_ADPCMA_KEY
        ld      e,(hl)
        rst     RST_WRITE_B
        ld      a,c
        ret

; Register B + channel C := the table byte at HL; HL moves on. Clobbers A, DE.
write_sample_register:
        ld      a,b
        add     a,c
        ld      d,a
        ld      e,(hl)
        inc     hl
        rst     RST_WRITE_B
        ret

        .include "sequencer_tables.inc"

code_end:
        .org    SAMPLE_TABLE    ; the driver fills everything up to the sample table
driver_end:
