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

        .equ    CHIP_CLOCK, 8000000     ; the YM2610's, which the F-number table is made for

; The sequencer's hooks (sequencer.inc): songs lie back to back from FIRST_SONG_BLOCK, and a
; song that reaches the end of its order list starts over.
        .macro  first_song_block_to_hl
        ld      hl,FIRST_SONG_BLOCK
        .endm
        .macro  order_list_ended
        xor     a
        .endm

; The classic song blocks' magic and track codes, placed by board.inc before the command NMI.
        .macro  board_tables
song_magic:                     ; SONG_MAGIC_BYTES at the head of every song block
        .ascii  "QVX0"
key_codes:                      ; YM_KEY_ON channel codes of tracks 1-4
        .byte   YM_KEY_TRACK_1, YM_KEY_TRACK_2, YM_KEY_TRACK_3, YM_KEY_TRACK_4
adpcm_channel_bits:             ; YM_ADPCMA_KEY bits of channels 0-5
        .byte   0x01, 0x02, 0x04, 0x08, 0x10, 0x20
        .endm

        ; For the checks in driver_checks.ld:
        .global reset_entry, auto_start_flag, rst_write_a, rst_write_b, rst_times32
        .global tick_entry, command_entry, idle_loop, halt_loop, code_end, driver_end
        .global RESET_ENTRY, AUTO_START_FLAG, RST_WRITE_A, RST_WRITE_B, RST_TIMES32
        .global TICK_ENTRY, COMMAND_ENTRY, MAIN_CODE, SAMPLE_TABLE

        .text

        .include "board.inc"
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
