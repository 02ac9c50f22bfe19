; QVXTracker sound driver for the Neo Geo sound board: a Z80 at 4 MHz driving a YM2610.
;
; The driver plays songs on the YM2610's four FM channels, starts ADPCM-A samples and obeys
; one-byte commands from the main CPU. Everything happens in two interrupt handlers:
;
;   tick_handler     (IRQ, mode 1, 0x0038)  counts ticks; every SPEED ticks plays one row
;   command_handler  (NMI, 0x0066)          reads the command from port 0 and carries it out
;
; The main program only sets the board up and then idles. Where to look:
;   startup .......... power-on and command 0x03
;   run_command ...... the command table
;   start_song ....... finds song n behind the sample table and starts it
;   row_step ......... one row: four cells, then the next row / order entry
;   play_track ....... one cell: voice load, effect, key on, frequency
;   load_voice, run_effect, trigger_sample
;
; Both handlers take the HANDLER_BUSY flag while they touch the chip or the sequencer. A
; command that arrives meanwhile is not carried out inside the other handler's work (which
; could leave the chip's address latch pointing elsewhere, or a row half played from a new
; song): it is parked in DEFERRED_COMMAND and run as soon as the busy handler is done.

        .include "memory_map.inc"

        .global reset_entry, auto_start_flag, rst_write_a, rst_write_b, rst_times32
        .global tick_entry, command_entry, idle_loop, halt_loop, code_end, driver_end

        .text

; ==== Fixed entry points (0x0000 - 0x00BF) ==================================================
; The emulated board never delivers a command while the CPU runs below 0x00C0, so the chip
; write routines live here, where a register write can never be split by a command.

        .org    0x0000
reset_entry:
        di
        jp      startup

        .org    AUTO_START_FLAG
auto_start_flag:
        .byte   0               ; the Neo Geo test ROM sets this to 1

; RST 0x08: YM2610 register D := E on the first register bank (ports 4/5). Clobbers A.
        .org    0x0008
rst_write_a:
        jp      write_port_a

; RST 0x10: YM2610 register D := E on the second register bank (ports 6/7). Clobbers A.
        .org    0x0010
rst_write_b:
        jp      write_port_b

; RST 0x18: DE := (A mod 32) * 32, the offset of instrument A in an instrument table.
        .org    0x0018
rst_times32:
        add     a,a
        add     a,a
        add     a,a             ; A * 8, bits carried out dropped: this is the "mod 32"
        ld      e,a
        ld      d,0
        sla     e
        rl      d
        sla     e
        rl      d
        ret

; The real YM2610 is busy for about 9 T-states after an address write and 42 after a data
; write. Here 15 T-states separate address and data, and the EX (SP),HL, the return and the
; next call keep any following write at least 84 T-states after the data.
write_port_a:
        ld      a,d
        out     (PORT_YM_ADDR_A),a
        ld      a,e
        out     (PORT_YM_DATA_A),a
        ex      (sp),hl
        ex      (sp),hl
        ret

        .org    0x0038
tick_entry:
        jp      tick_handler

write_port_b:
        ld      a,d
        out     (PORT_YM_ADDR_B),a
        ld      a,e
        out     (PORT_YM_DATA_B),a
        ex      (sp),hl
        ex      (sp),hl
        ret

song_magic:
        .ascii  "QVX0"
key_codes:                      ; register 0x28 values of tracks 1-4
        .byte   0x01, 0x02, 0x05, 0x06
adpcm_channel_bits:
        .byte   0x01, 0x02, 0x04, 0x08, 0x10, 0x20

        .org    0x0066
command_entry:
        push    af
        ld      a,(HANDLER_BUSY)
        or      a
        jr      nz,defer_command
        push    bc
        push    de
        push    hl
        inc     a
        ld      (HANDLER_BUSY),a
        in      a,(PORT_COMMAND)
        call    run_command
        call    finish_handler
        pop     hl
        pop     de
        pop     bc
        pop     af
        retn

; The other handler is busy: park the command; finish_handler runs it.
defer_command:
        in      a,(PORT_COMMAND)
        ld      (DEFERRED_COMMAND),a
        ld      a,1
        ld      (DEFERRED_PENDING),a
        pop     af
        retn

; ==== Start-up ==============================================================================

        .org    0x00C0
startup:
        ld      sp,STACK_TOP
        ; After command 0x03 we arrive here from inside the command handler, which never
        ; returned; RETN ends that handler so the board delivers ticks again. Interrupts stay
        ; disabled (DI ran before, so IFF2 is 0).
        call    leave_handler
        ld      a,1
        ld      (HANDLER_BUSY),a
        xor     a
        ld      (DEFERRED_PENDING),a
        ld      (PLAYING),a
        ld      (NEXT_ADPCM_CHANNEL),a
        im      1
        ld      de,(YM_TIMER_CONTROL << 8) | 0x30
        rst     0x08
        ld      de,(YM_TIMER_CONTROL << 8) | 0x3F
        rst     0x08
        ld      de,(ADPCMA_TOTAL_LEVEL << 8) | 0x3F
        rst     0x10
        ld      a,(AUTO_START_FLAG)
        or      a
        jr      z,1f
        ld      a,1             ; always song 1, whatever the flag's value
        call    start_song
1:      call    finish_handler
        ei
idle_loop:
        jr      idle_loop

leave_handler:
        retn

; ==== Tick handler ==========================================================================

tick_handler:
        di
        push    af
        push    bc
        push    de
        push    hl
        ld      a,1
        ld      (HANDLER_BUSY),a
        xor     a
        out     (PORT_ACKNOWLEDGE),a
        ld      hl,TICK_COUNTER
        inc     (hl)
        ld      a,(SPEED)
        cp      (hl)            ; speed 0 means 256 ticks: the counter wraps back to 0
        jr      nz,1f
        ld      (hl),0
        call    row_step
1:      ld      de,(YM_TIMER_CONTROL << 8) | 0x3F   ; reset the timer flags, keep them running
        rst     0x08
        call    finish_handler
        pop     hl
        pop     de
        pop     bc
        pop     af
        ei
        reti

; Runs the commands parked while this handler was busy, then leaves the busy state.
finish_handler:
        ld      a,(DEFERRED_PENDING)
        or      a
        jr      z,1f
        xor     a
        ld      (DEFERRED_PENDING),a
        ld      a,(DEFERRED_COMMAND)
        call    run_command
        jr      finish_handler
1:      ld      (HANDLER_BUSY),a
        ret

; ==== Commands ==============================================================================

; Carries out command A and acknowledges it on port 0x0C.
run_command:
        or      a
        jr      z,acknowledge   ; 0x00: nothing
        jp      m,song_command  ; 0x80-0xFF
        cp      0x01
        jr      z,halt_command
        cp      0x03
        jr      z,restart_command
        cp      0x7F
        jr      z,adpcm_off_command
        call    trigger_sample  ; 0x02, 0x04-0x7E; answers with the ADPCM-A channel used
acknowledge:
        out     (PORT_ACKNOWLEDGE),a
        ret

song_command:
        push    af
        and     0x7F
        cp      0x7F
        jr      z,1f
        call    start_song      ; 0x80 + n: song n
        jr      2f
1:      call    stop_song       ; 0xFF
2:      pop     af
        jr      acknowledge

; 0x7F: key all six ADPCM-A channels off.
adpcm_off_command:
        ld      de,(ADPCMA_KEY << 8) | 0xBF
        rst     0x10
        ld      a,0x7F
        jr      acknowledge

; 0x01: prepare for a slot switch. Ticks stop; commands are still taken (0x03 restarts).
halt_command:
        di
        ld      sp,STACK_TOP
        xor     a
        ld      (HANDLER_BUSY),a
        ld      (DEFERRED_PENDING),a
        inc     a
        out     (PORT_ACKNOWLEDGE),a
halt_loop:
        jr      halt_loop

; 0x03: start over as at power-on, without acknowledging.
restart_command:
        di
        ld      sp,STACK_TOP
        jp      reset_entry

; 0xFF: key the four FM channels off and stop the sequencer. Position, row and loaded
; instruments stay; the next start sets them.
stop_song:
        ld      d,YM_KEY_ON
        ld      e,0x01
        rst     0x08
        ld      e,0x02
        rst     0x08
        ld      e,0x05
        rst     0x08
        ld      e,0x06
        rst     0x08
        xor     a
        ld      (PLAYING),a
        ret

; ==== Sequencer =============================================================================

; Starts song A (1-126). Song blocks lie back to back from FIRST_SONG_BLOCK, each linked to
; the next. A missing block leaves the sequencer stopped; nothing sounding is keyed off.
start_song:
        ld      c,a
        xor     a
        ld      (PLAYING),a
        or      c
        ret     z               ; there is no song 0
        ld      hl,FIRST_SONG_BLOCK
find_song:
        ld      de,song_magic
        ld      b,4
1:      ld      a,(de)
        cp      (hl)
        ret     nz
        inc     de
        inc     hl
        djnz    1b
        ld      e,(hl)          ; the link word: distance from behind it to the next block
        inc     hl
        ld      d,(hl)
        inc     hl
        dec     c
        jr      z,2f
        add     hl,de
        jr      find_song
2:      ld      a,(hl)          ; instrument count
        inc     hl
        ld      (INSTRUMENT_TABLE),hl
        rst     0x18
        add     hl,de
        ld      (ORDER_BLOCK),hl
        ld      a,(hl)
        ld      (ORDER_COUNT),a
        xor     a
        ld      (ORDER_POSITION),a
        ld      (TICK_COUNTER),a
        ld      (PATTERN_BREAK),a
        ld      a,DEFAULT_SPEED
        ld      (SPEED),a
        ld      hl,LOADED_INSTRUMENT
        ld      b,4
3:      ld      (hl),0xFF       ; forces a voice load on every track's first note
        inc     hl
        djnz    3b
        call    set_pattern_pointer
        ld      a,1
        ld      (PLAYING),a
        ret

; Points the pattern read pointer at row 0 of the pattern of the current order entry.
set_pattern_pointer:
        ld      hl,(ORDER_BLOCK)
        ld      a,(ORDER_POSITION)
        ld      e,a
        ld      d,0
        add     hl,de
        inc     hl              ; the entries follow the count byte
        ld      a,(hl)
        and     63              ; at most 64 patterns
        ld      hl,(ORDER_BLOCK)
        ld      de,PATTERNS_OFFSET
        add     hl,de
        add     a,a
        add     a,a             ; a pattern is 1024 bytes: four pages
        add     a,h
        ld      h,a
        call    store_pattern_pointer
        xor     a
        ld      (ROW),a
        ret

store_pattern_pointer:
        ld      a,h
        ld      (PATTERN_POINTER_HI),a
        ld      a,l
        ld      (PATTERN_POINTER_LO),a
        ret

; One row: the four tracks' cells, then on to the next row, or to the next order entry after
; row 63 or a pattern break.
row_step:
        ld      a,(PLAYING)
        or      a
        ret     z
        ld      c,0
1:      call    play_track
        inc     c
        ld      a,c
        cp      4
        jr      nz,1b
        ld      hl,ROW
        inc     (hl)
        ld      a,(hl)
        cp      ROWS
        jr      z,2f
        ld      a,(PATTERN_BREAK)
        or      a
        ret     z
2:      xor     a
        ld      (PATTERN_BREAK),a
        ld      a,(ORDER_COUNT)
        ld      b,a
        ld      a,(ORDER_POSITION)
        inc     a
        cp      b
        jr      c,3f
        xor     a               ; past the last entry: the song starts over
3:      ld      (ORDER_POSITION),a
        jp      set_pattern_pointer

; Plays the next cell of track C (0-3); keeps C.
play_track:
        ld      a,(PATTERN_POINTER_HI)
        ld      h,a
        ld      a,(PATTERN_POINTER_LO)
        ld      l,a
        ld      a,(hl)          ; octave (block) in the high nibble, note in the low
        inc     hl
        ld      b,a
        rrca
        and     0x38            ; (octave mod 8) * 8: the block bits of register 0xA4
        ld      (CELL_BLOCK),a
        ld      a,b
        and     0x0F
        cp      13
        jr      c,1f
        xor     a               ; 13-15 play nothing (13 is the editor's end mark)
1:      push    hl
        add     a,a
        ld      e,a
        ld      d,0
        ld      hl,fnum_table
        add     hl,de
        ld      a,(hl)
        ld      (CELL_FNUM_HIGH),a
        inc     hl
        ld      a,(hl)
        ld      (CELL_FNUM_LOW),a
        pop     hl
        ld      a,(hl)          ; instrument number, 1-based; 0 also means the first
        inc     hl
        or      a
        jr      z,2f
        dec     a
2:      ld      (CELL_INSTRUMENT),a
        ld      a,(hl)
        inc     hl
        ld      (CELL_EFFECT),a
        ld      a,(hl)
        inc     hl
        ld      (CELL_PARAMETER),a
        call    store_pattern_pointer
        ld      a,(CELL_FNUM_HIGH)
        ld      b,a
        ld      a,(CELL_FNUM_LOW)
        or      b
        jp      z,run_effect    ; no note: only the effect acts
        ld      hl,LOADED_INSTRUMENT
        ld      e,c
        ld      d,0
        add     hl,de
        ld      a,(CELL_INSTRUMENT)
        cp      (hl)
        jr      z,3f
        ld      (hl),a
        call    load_voice
3:      call    run_effect
        ret     nc              ; D, F and C00 hold the note back
        call    track_key_code
        ld      d,YM_KEY_ON
        rst     0x08            ; key off ...
        ld      a,e
        or      0xF0
        ld      e,a
        rst     0x08            ; ... and on with all four operators, before the frequency
        ld      a,c
        and     1
        inc     a
        ld      b,a             ; register slot 1 or 2
        ld      a,(CELL_FNUM_HIGH)
        ld      e,a
        ld      a,(CELL_BLOCK)
        or      e
        ld      e,a
        ld      a,YM_FNUM_HIGH
        add     a,b
        ld      d,a
        call    write_track     ; the high register first: the chip latches it for the low
        ld      a,(CELL_FNUM_LOW)
        ld      e,a
        ld      a,YM_FNUM_LOW
        add     a,b
        ld      d,a
        jp      write_track

; Loads instrument A's voice into track C: key the channel off, then its 25 registers.
load_voice:
        push    af
        call    track_key_code
        ld      d,YM_KEY_ON
        rst     0x08
        pop     af
        rst     0x18
        ld      hl,(INSTRUMENT_TABLE)
        add     hl,de
        ld      de,voice_registers_slot1
        bit     0,c
        jr      z,1f
        ld      de,voice_registers_slot2
1:      ld      b,VOICE_BYTES
2:      push    bc
        push    de
        ld      a,(de)
        ld      d,a
        ld      e,(hl)
        call    write_track
        pop     de
        pop     bc
        inc     de
        inc     hl
        djnz    2b
        ret

; The effect of the current cell on track C. Carry set: key the note on.
run_effect:
        ld      a,(CELL_EFFECT)
        cp      0x0C
        jr      z,effect_volume
        cp      0x0D
        jr      z,effect_break
        cp      0x0F
        jr      z,effect_speed
        scf                     ; other effects are not played
        ret
effect_volume:                  ; C00 keys the track off; other volumes change nothing
        ld      a,(CELL_PARAMETER)
        or      a
        scf
        ret     nz
        call    track_key_code
        ld      d,YM_KEY_ON
        rst     0x08
        or      a               ; A = key code, nonzero: carry clear
        ret
effect_break:                   ; D: on to row 0 of the next order entry after this row
        ld      a,1
        ld      (PATTERN_BREAK),a
        or      a
        ret
effect_speed:                   ; F: ticks per row
        ld      a,(CELL_PARAMETER)
        ld      (SPEED),a
        or      a
        ret

; E := register 0x28 key code of track C.
track_key_code:
        push    hl
        ld      hl,key_codes
        ld      e,c
        ld      d,0
        add     hl,de
        ld      e,(hl)
        pop     hl
        ret

; Register D := E on the register bank of track C: tracks 1 and 2 on the first, 3 and 4 on
; the second.
write_track:
        bit     1,c
        jr      nz,1f
        rst     0x08
        ret
1:      rst     0x10
        ret

; ==== Samples ===============================================================================

; Plays the sample of command A's table entry on the next of the six ADPCM-A channels, in
; rotation. Returns the channel in A.
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
        cp      6
        jr      c,1f
        xor     a
1:      ld      (NEXT_ADPCM_CHANNEL),a
        ld      b,ADPCMA_START_LOW
        call    write_sample_register
        ld      b,ADPCMA_START_HIGH
        call    write_sample_register
        ld      b,ADPCMA_END_LOW
        call    write_sample_register
        ld      b,ADPCMA_END_HIGH
        call    write_sample_register
        ld      hl,adpcm_channel_bits
        ld      b,0
        add     hl,bc
        ld      d,ADPCMA_KEY
        ld      e,(hl)
        rst     0x10
        ld      a,c
        ret

; Register B + channel C := the table byte at HL; HL moves on.
write_sample_register:
        ld      a,b
        add     a,c
        ld      d,a
        ld      e,(hl)
        inc     hl
        rst     0x10
        ret

; ==== Tables ================================================================================

; F-number of each note nibble, high byte first, for an 8 MHz YM2610. The editor stores a C
; as nibble 12 with the block one lower, so entry 12 is the C above the block.
fnum_table:
        .byte   0x00, 0x00      ; 0  no note
        .byte   0x02, 0x8E      ; 1  C#   654
        .byte   0x02, 0xB5      ; 2  D    693
        .byte   0x02, 0xDE      ; 3  D#   734
        .byte   0x03, 0x09      ; 4  E    777
        .byte   0x03, 0x38      ; 5  F    824
        .byte   0x03, 0x69      ; 6  F#   873
        .byte   0x03, 0x9C      ; 7  G    924
        .byte   0x03, 0xD3      ; 8  G#   979
        .byte   0x04, 0x0E      ; 9  A   1038
        .byte   0x04, 0x4B      ; 10 A#  1099
        .byte   0x04, 0x8D      ; 11 B   1165
        .byte   0x04, 0xD2      ; 12 C   1234

; The registers an instrument's 25 bytes go to, in byte order, for the two register slots
; of a bank: detune/multiple, total level, key scale/attack, decay, sustain rate, sustain
; level/release of the four operators, then feedback/algorithm.
voice_registers_slot1:
        .byte   0x31, 0x35, 0x39, 0x3D, 0x41, 0x45, 0x49, 0x4D, 0x51, 0x55, 0x59, 0x5D
        .byte   0x61, 0x65, 0x69, 0x6D, 0x71, 0x75, 0x79, 0x7D, 0x81, 0x85, 0x89, 0x8D, 0xB1
voice_registers_slot2:
        .byte   0x32, 0x36, 0x3A, 0x3E, 0x42, 0x46, 0x4A, 0x4E, 0x52, 0x56, 0x5A, 0x5E
        .byte   0x62, 0x66, 0x6A, 0x6E, 0x72, 0x76, 0x7A, 0x7E, 0x82, 0x86, 0x8A, 0x8E, 0xB2

code_end:
        .org    SAMPLE_TABLE    ; the driver fills everything up to the sample table
driver_end:
