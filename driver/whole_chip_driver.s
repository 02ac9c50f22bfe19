; QVXTracker's whole-chip sound driver for the Neo Geo sound board: a Z80 at 4 MHz driving a
; YM2610. It plays whole-chip songs: four FM tracks as the classic driver plays them and six
; ADPCM-A tracks whose notes key the samples of drum kits, on the board, the commands and the
; tick the classic driver has (board.inc), so a game's code does not change with it.
;
; Where to look:
;   start_song ....... finds song n ("QVX1" blocks behind the sample table) and starts it
;   row_step ......... one row: the cells its mask names, then the next row / order entry
;   play_cell ........ one cell: an FM note (voice, frequency, then key-on) or a kit's sample
;   trigger_sample ... a sample command, on a channel the songs leave free
;
; A song owns the ADPCM-A channels of its tracks while it plays. SONG_ADPCMA_CHANNELS (written by
; the image builder) names the channels any song of the image uses; sample commands rotate over
; the others, or over all six when the songs use every one, and a song then takes a channel back
; at its next note there.
;
; Each routine's comment names the registers it clobbers; the handlers save everything.

        .include "whole_chip_map.inc"
        .include "sample_keys.inc"

        .equ    CHIP_CLOCK, 8000000     ; the YM2610's, which the F-number table is made for
        .equ    WHOLE_CHIP, 1           ; fm_tracks.inc: instruments up to 63, key_track_off

; The whole-chip song blocks' magic, which board.inc places before the command NMI.
        .macro  song_magic_text
        .ascii  "QVX1"
        .endm

        .text

        .include "board.inc"

; ==== Sequencer =============================================================================

; Stop: key the FM channels and the songs' ADPCM-A channels off; the sequencer stops.
; Clobbers AF, B, DE, HL.
stop_song:
        ld      hl,key_codes
        ld      b,FM_TRACKS
        ld      d,YM_KEY_ON
stop_song_track:
        ld      e,(hl)
        rst     RST_WRITE_A
        inc     hl
        djnz    stop_song_track
        ld      a,(SONG_ADPCMA_CHANNELS)
        or      YM_ADPCMA_KEY_OFF
        ld      e,a
        ld      d,YM_ADPCMA_KEY
        rst     RST_WRITE_B
        xor     a
        ld      (PLAYING),a
        ret

; Starts song A (1-126): the blocks lie back to back from FIRST_SONG_BLOCK, each linked to the
; next. A missing block leaves the sequencer stopped. Clobbers AF, BC, DE, HL.
start_song:
        ld      c,a
        xor     a
        ld      (PLAYING),a
        or      c
        ret     z               ; there is no song 0
        ld      hl,FIRST_SONG_BLOCK
find_song:
        ld      (SONG_BLOCK),hl
        ld      de,song_magic
        ld      b,SONG_MAGIC_BYTES
find_song_magic:
        ld      a,(de)
        cp      (hl)
        ret     nz
        inc     de
        inc     hl
        djnz    find_song_magic
        ld      e,(hl)          ; the link word: distance from behind it to the next block
        inc     hl
        ld      d,(hl)
        inc     hl
        dec     c
        jr      z,found_song
        add     hl,de
        jr      find_song
found_song:
        ld      a,(hl)          ; the instrument count ...
        inc     hl
        ld      b,(hl)          ; ... the sample count, then the pattern count
        inc     hl
        inc     hl
        ld      (INSTRUMENT_TABLE),hl
        call    times32
        add     hl,de
        ld      (SONG_SAMPLES),hl
        ld      e,b
        ld      d,0
        ex      de,hl
        add     hl,hl
        add     hl,hl           ; SONG_SAMPLE_BYTES each
        add     hl,de
        ld      (ORDER_BLOCK),hl
        ld      a,(hl)
        ld      (ORDER_COUNT),a
        ld      de,PATTERNS_OFFSET
        add     hl,de
        ld      (PATTERN_TABLE),hl
        xor     a
        ld      (ORDER_POSITION),a
        ld      (TICK_COUNTER),a
        ld      (PATTERN_BREAK),a
        ld      a,DEFAULT_SPEED
        ld      (SPEED),a
        ld      hl,LOADED_INSTRUMENT
        ld      b,FM_TRACKS
start_song_unload:
        ld      (hl),NO_INSTRUMENT  ; forces a voice load on every FM track's first note
        inc     hl
        djnz    start_song_unload
        call    set_row_pointer
        ld      a,1
        ld      (PLAYING),a
        ret

; DE := A * 32, for instrument offsets up to 63 * 32. Clobbers A.
times32:
        rrca
        rrca
        rrca
        ld      e,a
        and     0x1F
        ld      d,a
        ld      a,e
        and     0xE0
        ld      e,a
        ret

; Points ROW_POINTER at row 0 of the pattern of the current order entry. Clobbers AF, DE, HL.
set_row_pointer:
        ld      hl,(ORDER_BLOCK)
        ld      a,(ORDER_POSITION)
        ld      e,a
        ld      d,0
        add     hl,de
        inc     hl              ; the entries follow the count byte
        ld      a,(hl)
        and     PATTERN_NUMBER_MASK
        add     a,a
        ld      e,a
        ld      hl,(PATTERN_TABLE)
        add     hl,de
        ld      e,(hl)
        inc     hl
        ld      d,(hl)
        ld      hl,(SONG_BLOCK)
        add     hl,de
        ld      (ROW_POINTER),hl
        xor     a
        ld      (ROW),a
        ret

; One row: the cells its mask names, in track order, then on to the next row, or to the next
; order entry after row 63 or a pattern break. Clobbers AF, BC, DE, HL.
row_step:
        ld      a,(PLAYING)
        or      a
        ret     z
        ld      hl,(ROW_POINTER)
        ld      e,(hl)
        inc     hl
        ld      d,(hl)
        inc     hl
        ld      c,0
row_step_track:
        srl     d
        rr      e
        jr      nc,row_step_next_track
        push    de
        call    play_cell
        pop     de
row_step_next_track:
        inc     c
        ld      a,c
        cp      WHOLE_CHIP_TRACKS
        jr      nz,row_step_track
        ld      (ROW_POINTER),hl
        ld      hl,ROW
        inc     (hl)
        ld      a,(hl)
        cp      ROWS
        jr      z,row_step_next_order
        ld      a,(PATTERN_BREAK)
        or      a
        ret     z
row_step_next_order:
        xor     a
        ld      (PATTERN_BREAK),a
        ld      a,(ORDER_COUNT)
        ld      b,a
        ld      a,(ORDER_POSITION)
        inc     a
        cp      b
        jr      c,row_step_set_order
        xor     a               ; played through: start over
row_step_set_order:
        ld      (ORDER_POSITION),a
        jp      set_row_pointer

; Plays the cell at HL on track C; HL moves past it. Keeps C; clobbers AF, B, DE.
play_cell:
        ld      a,(hl)          ; octave (block) in the high nibble, note in the low
        inc     hl
        ld      b,a
        rrca
        and     YM_BLOCK_BITS   ; (octave mod 8) * 8: the block bits of YM_FNUM_HIGH
        ld      (CELL_BLOCK),a
        ld      a,b
        and     NOTE_MASK
        cp      NOTE_NIBBLES
        jr      c,play_cell_note
        xor     a               ; 13-15 play nothing (13 is the editor's end mark)
play_cell_note:
        ld      (CELL_NOTE),a
        ld      a,(hl)          ; instrument number, 1-based; 0 also means the first
        inc     hl
        or      a
        jr      z,play_cell_instrument
        dec     a
play_cell_instrument:
        ld      (CELL_INSTRUMENT),a
        ld      a,(hl)
        inc     hl
        ld      (CELL_EFFECT),a
        ld      a,(hl)
        inc     hl
        ld      (CELL_PARAMETER),a
        push    hl
        ld      a,c
        cp      FM_TRACKS
        call    c,play_fm_cell
        ld      a,c
        cp      FM_TRACKS
        call    nc,play_adpcma_cell
        pop     hl
        ret

; The current cell on FM track C: a new voice when the instrument changed, the effect, then
; (unless the effect holds the note back) key off, the frequency, key on, so that the note starts
; at its own pitch whenever it lands. Keeps C; clobbers AF, B, DE, HL.
play_fm_cell:
        ld      a,(CELL_NOTE)
        or      a
        jp      z,run_effect    ; no note: only the effect acts
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
        ld      hl,LOADED_INSTRUMENT
        ld      e,c
        ld      d,0
        add     hl,de
        ld      a,(CELL_INSTRUMENT)
        cp      (hl)
        jr      z,play_fm_cell_effect
        ld      (hl),a
        call    load_voice
play_fm_cell_effect:
        call    run_effect
        ret     nc              ; D, F and C00 hold the note back
        call    track_key_code
        ld      d,YM_KEY_ON
        rst     RST_WRITE_A     ; key off ...
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
        call    write_track     ; ... the high register first: the chip latches it for the low
        ld      a,(CELL_FNUM_LOW)
        ld      e,a
        ld      a,YM_FNUM_LOW
        add     a,b
        ld      d,a
        call    write_track
        call    track_key_code
        ld      a,e
        or      YM_ALL_OPERATORS
        ld      e,a
        ld      d,YM_KEY_ON
        rst     RST_WRITE_A     ; ... and on with all four operators
        ret

; The current cell on ADPCM-A track C: its effect, then (unless the effect holds the note back)
; the sample the instrument's kit gives the note, at the kit note's level. A kit note without a
; sample plays nothing. Keeps C; clobbers AF, B, DE, HL.
play_adpcma_cell:
        call    run_effect
        ret     nc
        ld      a,(CELL_NOTE)
        or      a
        ret     z
        cp      KIT_NOTES       ; nibble 12 is the C: kit note 0
        jr      c,play_adpcma_cell_kit
        xor     a
play_adpcma_cell_kit:
        add     a,a             ; KIT_NOTE_BYTES each
        ld      l,a
        ld      h,0
        ld      a,(CELL_INSTRUMENT)
        call    times32
        add     hl,de
        ld      de,(INSTRUMENT_TABLE)
        add     hl,de
        ld      a,(hl)          ; the sample number ...
        cp      NO_SAMPLE
        ret     z
        inc     hl
        ld      b,(hl)          ; ... and the level
        ld      l,a
        ld      h,0
        add     hl,hl
        add     hl,hl           ; SONG_SAMPLE_BYTES each
        ld      de,(SONG_SAMPLES)
        add     hl,de
        ld      a,c
        sub     FM_TRACKS
        ld      c,a             ; the channel, for play_sample ...
        ld      a,b
        or      YM_ADPCMA_BOTH
        call    play_sample
        ld      a,c
        add     a,FM_TRACKS     ; ... and the track again
        ld      c,a
        ret

; Keys track C off, whatever its kind (C00). Keeps C; clobbers AF, DE.
key_track_off:
        ld      a,c
        cp      FM_TRACKS
        jr      nc,key_track_off_adpcma
        call    track_key_code
        ld      d,YM_KEY_ON
        rst     RST_WRITE_A
        ret
key_track_off_adpcma:
        sub     FM_TRACKS
        push    hl
        ld      hl,adpcm_channel_bits
        ld      e,a
        ld      d,0
        add     hl,de
        ld      a,(hl)
        pop     hl
        or      YM_ADPCMA_KEY_OFF
        ld      e,a
        ld      d,YM_ADPCMA_KEY
        rst     RST_WRITE_B
        ret

        .include "fm_tracks.inc"

; ==== Fast voice loads ======================================================================

; The 25 voice registers from HL into track C's bank, DE the register table. Written straight to
; the ports, 73 T-states a register: the chip has 40 or more after each data write, and the
; heaviest row keeps within its tick budget. A command that comes between an address and its
; data may write to the chip: relatch_fast_writes latches the address again. Keeps C; clobbers
; AF, B, DE, HL.
load_voice_fast:
        ld      b,VOICE_BYTES
        bit     1,c
        jr      nz,load_voice_fast_b
load_voice_fast_a:
        ld      a,(de)
        out     (PORT_YM_ADDR_A),a
load_voice_fast_a_latched:
        ld      a,(hl)
load_voice_fast_a_data_out:
        out     (PORT_YM_DATA_A),a
        inc     de
        inc     hl
        nop
        nop
        nop
        djnz    load_voice_fast_a
        ret
load_voice_fast_b:
        ld      a,(de)
        out     (PORT_YM_ADDR_B),a
load_voice_fast_b_latched:
        ld      a,(hl)
load_voice_fast_b_data_out:
        out     (PORT_YM_DATA_B),a
        inc     de
        inc     hl
        nop
        nop
        nop
        djnz    load_voice_fast_b
        ret

; The command NMI came inside the tick at PC A (high), C (low): if it fell between a fast voice
; load's address and data writes, latch that address again; the register is the one the loop's
; DE (saved by the NMI) points at. Keeps A, BC; clobbers DE, HL.
relatch_fast_writes:
        push    af
        ld      h,a
        ld      l,c
        ld      de,load_voice_fast_a_latched
        or      a
        sbc     hl,de
        call    relatch_window
        jr      nc,relatch_fast_b
        out     (PORT_YM_ADDR_A),a
        jr      relatch_fast_done
relatch_fast_b:
        pop     af
        push    af
        ld      h,a
        ld      l,c
        ld      de,load_voice_fast_b_latched
        or      a
        sbc     hl,de
        call    relatch_window
        jr      nc,relatch_fast_done
        out     (PORT_YM_ADDR_B),a
relatch_fast_done:
        pop     af
        ret

; HL: the PC's distance from a loop's "latched" label. Carry set when it lies within the window up
; to its data write, with A := the register the saved DE points at.
        .equ    RELATCH_SAVED_DE, 6     ; the saved DE behind two return addresses and AF
relatch_window:
        ld      a,h
        or      a
        ret     nz              ; carry clear
        ld      a,l
        cp      load_voice_fast_a_data_out - load_voice_fast_a_latched + 1
        ret     nc
        ld      hl,RELATCH_SAVED_DE
        add     hl,sp
        ld      e,(hl)
        inc     hl
        ld      d,(hl)
        ld      a,(de)
        scf
        ret

; ==== Samples ===============================================================================

; Plays the sample at HL (start block lo, hi, end block lo, hi) on ADPCM-A channel C at the
; level register value A (outputs and level). Keeps C; clobbers AF, B, DE, HL.
play_sample:
        push    af
        write_sample_addresses
        pop     af
        ld      e,a
        ld      a,YM_ADPCMA_LEVEL
        add     a,c
        ld      d,a
        rst     RST_WRITE_B
        clear_flag_and_key_on
        ret

        write_sample_register_routine

; Plays the sample of command A's table entry at full level on the next channel the songs leave
; free (all six when they use every one), in rotation. Returns the channel in A; clobbers F, BC,
; DE, HL.
trigger_sample:
        sample_table_entry
        push    hl
        ld      a,(SONG_ADPCMA_CHANNELS)
        cpl
        and     ALL_ADPCMA_CHANNELS
        jr      nz,trigger_sample_free
        ld      a,ALL_ADPCMA_CHANNELS   ; the songs use all six: commands share them
trigger_sample_free:
        ld      b,a
        ld      a,(NEXT_ADPCM_CHANNEL)
        ld      c,a
        ld      d,0
trigger_sample_find:
        ld      hl,adpcm_channel_bits
        ld      e,c
        add     hl,de
        ld      a,(hl)
        and     b
        jr      nz,trigger_sample_take
        inc     c
        ld      a,c
        cp      YM_ADPCMA_CHANNELS
        jr      c,trigger_sample_find
        ld      c,0
        jr      trigger_sample_find
trigger_sample_take:
        ld      a,c
        ld      (LAST_ADPCM_CHANNEL),a
        inc     a
        cp      YM_ADPCMA_CHANNELS
        jr      c,trigger_sample_next
        xor     a
trigger_sample_next:
        ld      (NEXT_ADPCM_CHANNEL),a
        pop     hl
        ld      a,YM_ADPCMA_BOTH_FULL
        call    play_sample
        ld      a,c
        ret

        .include "sequencer_tables.inc"

code_end:
        .org    SAMPLE_TABLE    ; the driver fills everything up to the sample table
driver_end:
