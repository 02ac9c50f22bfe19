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
; How commands are queued and run: board.inc.

        .include "memory_map.inc"
        .include "sample_keys.inc"

        .equ    CHIP_CLOCK, 8000000     ; the YM2610's, which the F-number table is made for

; The sequencer's hooks (sequencer.inc): songs lie back to back from FIRST_SONG_BLOCK, and a
; song that reaches the end of its order list starts over.
        .macro  first_song_block_to_hl
        ld      hl,FIRST_SONG_BLOCK
        .endm
        .macro  order_list_ended
        xor     a
        .endm

; The classic song blocks' magic, which board.inc places before the command NMI.
        .macro  song_magic_text
        .ascii  "QVX0"
        .endm

        .text

        .include "board.inc"
        .include "sequencer.inc"

; ==== Samples ===============================================================================

; Plays the sample of command A's table entry on the next of the six ADPCM-A channels, in
; rotation. Returns the channel in A; clobbers F, BC, DE, HL.
trigger_sample:
        sample_table_entry
        ld      a,(NEXT_ADPCM_CHANNEL)
        ld      c,a
        ld      (LAST_ADPCM_CHANNEL),a
        inc     a
        cp      YM_ADPCMA_CHANNELS
        jr      c,trigger_sample_rotate
        xor     a
trigger_sample_rotate:
        ld      (NEXT_ADPCM_CHANNEL),a
        write_sample_addresses
        clear_flag_and_key_on
        ld      a,c
        ret

        write_sample_register_routine

        .include "sequencer_tables.inc"

code_end:
        .org    SAMPLE_TABLE    ; the driver fills everything up to the sample table
driver_end:
