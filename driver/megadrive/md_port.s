; The QVXTracker sound driver's port to the Mega Drive: the Z80 at 3.58 MHz driving a YM2612.
;
; It plays one song block with the Neo Geo driver's sequencer (sequencer.inc), from the 68000's
; ROM through the Z80's 32 KB bank window. The 68000 copies this program to Z80 RAM 0, writes
; the song's 68000 address and a command into the mailbox and lets the Z80 run. Then:
;
;   startup ........ sets the chip up and takes the first command
;   tick_handler ... the console's video interrupt, once a frame: takes a new command, counts
;                    frames, and every SPEED frames plays a row
;   poll_command ... 1 plays the song once, 2 loops it, anything else stops
;
; The differences from the Neo Geo driver: the chip has busy flags that must be waited for, the
; song is reached through the bank window, commands are polled, the tick is the video frame,
; and there are no samples. The F-numbers are scaled to the YM2612's clock, so notes keep the
; pitch they have on the Neo Geo.

        .equ    SEQUENCER_VARIABLES, 0x1500     ; MD_VARIABLES (the link checks compare them)
        .include "memory_map.inc"
        .equ    CHIP_CLOCK, MD_CHIP_CLOCK

; The sequencer's hooks: the one song is where the mailbox says, and the command decides what
; happens at the end of its order list.
        .macro  first_song_block_to_hl
        ld      hl,(MD_SONG_WINDOW)
        .endm
        .macro  order_list_ended
        call    song_played_through
        .endm

        ; For the checks in md_port_checks.ld:
        .global reset_entry, rst_write_a, rst_write_b, rst_times32, tick_entry, code_end
        .global port_end
        .global RST_WRITE_A, RST_WRITE_B, RST_TIMES32, TICK_ENTRY, MD_CODE_BYTES
        .global SEQUENCER_VARIABLES, MD_VARIABLES

        .text

        .org    RESET_ENTRY
reset_entry:
        di
        jp      startup

; RST_WRITE_A: YM2612 register D := E in part 1. Clobbers A.
        .org    RST_WRITE_A
rst_write_a:
        jp      write_part_1

; RST_WRITE_B: YM2612 register D := E in part 2. Clobbers A.
        .org    RST_WRITE_B
rst_write_b:
        jp      write_part_2

        .include "times32.inc"

        .org    TICK_ENTRY
tick_entry:
        jp      tick_handler

; Waits until the chip can take a write: bit 7 of its status is its busy flag.
        .macro  wait_ready
        .Lwait\@:
        ld      a,(MD_YM_ADDR_1)
        rlca
        jr      c,.Lwait\@
        .endm

; Register D := E through the chip's address and data ports, each written only once the chip is
; ready for it. Clobbers A.
        .macro  chip_write address, data
        wait_ready
        ld      a,d
        ld      (\address),a
        wait_ready
        ld      a,e
        ld      (\data),a
        .endm

write_part_1:
        chip_write MD_YM_ADDR_1, MD_YM_DATA_1
        ret

write_part_2:
        chip_write MD_YM_ADDR_2, MD_YM_DATA_2
        ret

song_magic:                     ; SONG_MAGIC_BYTES at the head of the song block
        .ascii  "QVX0"
key_codes:                      ; YM_KEY_ON channel codes of tracks 1-4
        .byte   YM_KEY_TRACK_1, YM_KEY_TRACK_2, YM_KEY_TRACK_3, YM_KEY_TRACK_4

; ==== Start-up ==============================================================================

startup:
        ld      sp,MD_STACK_TOP
        im      1
        ld      de,(YM_TIMER_CONTROL << 8) | YM_TIMERS_STOPPED
        rst     RST_WRITE_A
        ld      de,(YM_TIMER_CONTROL << 8) | MD_YM_TIMERS_LOADED
        rst     RST_WRITE_A
        xor     a
        ld      (PLAYING),a
        ld      (MD_LAST_COMMAND),a
        ld      de,(MD_YM_SSG_EG << 8) | 0
        rst     RST_WRITE_A
        call    set_outputs
        call    poll_command    ; the 68000 has left the first command
        ei
halt_loop:
        halt
        jr      halt_loop

; Both outputs on for the six FM channels, and channel 6 an FM channel, rather than trusting
; the chip's reset: some consoles start with them off. Clobbers A, B, DE.
set_outputs:
        ld      b,3
        ld      d,YM_OUTPUT
        ld      e,YM_OUTPUT_BOTH
set_outputs_channel:
        rst     RST_WRITE_A
        rst     RST_WRITE_B
        inc     d
        djnz    set_outputs_channel
        ld      de,(MD_YM_DAC_ENABLE << 8) | 0
        rst     RST_WRITE_A
        ret

; ==== Tick ==================================================================================

; The video interrupt. Saves every register it uses.
tick_handler:
        push    af
        push    bc
        push    de
        push    hl
        call    poll_command
        ld      hl,TICK_COUNTER
        inc     (hl)
        ld      a,(SPEED)
        cp      (hl)            ; speed 0 means 256 frames: the counter wraps back to 0
        jr      nz,tick_done
        ld      (hl),0
        call    row_step
tick_done:
        pop     hl
        pop     de
        pop     bc
        pop     af
        ei
        reti

; ==== Commands ==============================================================================

; Acts on the mailbox's command when it differs from the last one acted on: 1 and 2 start the
; song, anything else stops it. Clobbers AF, BC, DE, HL.
poll_command:
        ld      a,(MD_COMMAND)
        ld      hl,MD_LAST_COMMAND
        cp      (hl)
        ret     z
        ld      (hl),a
        cp      MD_COMMAND_PLAY_ONCE
        jr      z,play_command
        cp      MD_COMMAND_LOOP
        jp      nz,stop_song
play_command:
        call    select_song_bank
        ld      a,1
        jp      start_song

; Points the bank window at the 32 KB of 68000 space that hold the song (nine writes of one
; address bit each, A15 first, then A16-A23) and keeps the song's address in the window.
; Clobbers AF, B, HL.
select_song_bank:
        ld      hl,MD_BANK
        ld      a,(MD_SONG_ADDRESS + 1)
        rlca                    ; A15 into bit 0
        ld      (hl),a
        ld      a,(MD_SONG_ADDRESS + 2)
        ld      b,8
select_song_bank_bit:
        ld      (hl),a          ; A16 first
        rrca
        djnz    select_song_bank_bit
        ld      hl,(MD_SONG_ADDRESS)
        set     7,h             ; MD_WINDOW + the address mod MD_WINDOW_BYTES
        ld      (MD_SONG_WINDOW),hl
        ret

; The order list is played through. Looping, the song goes on from its first entry; played
; once, the mailbox's command becomes 0, which stops the song at once. Returns A = 0, the order
; position to go on from. Clobbers F, BC, DE, HL.
song_played_through:
        ld      a,(MD_LAST_COMMAND)
        cp      MD_COMMAND_PLAY_ONCE
        jr      nz,song_played_through_done
        xor     a
        ld      (MD_COMMAND),a
        call    poll_command
song_played_through_done:
        xor     a
        ret

        .include "sequencer.inc"
        .include "sequencer_tables.inc"

code_end:
        .org    MD_CODE_BYTES   ; the 68000 copies exactly this much
port_end:
