; QVXTracker's whole-chip sound driver for the Neo Geo sound board: a Z80 at 4 MHz driving a
; YM2610. It plays whole-chip songs on every channel of the chip: four FM tracks as the classic
; driver plays them, six ADPCM-A tracks whose notes key the samples of drum kits, three SSG
; tracks and the ADPCM-B track, on the board, the commands and the tick the classic driver has
; (board.inc), so a game's code does not change with it.
;
; Where to look:
;   start_song ....... finds song n ("QVX1" blocks behind the tables) and starts it
;   row_step ......... one row: the cells its mask names, then the next row / order entry
;   play_cell ........ one cell: its pitch, its effect (row_effect, whole_chip_effects.inc),
;                      then the note by the track's kind (whole_chip_notes.inc), whose pitch
;                      and volume each kind writes its way (whole_chip_outputs.inc)
;   every_tick ....... the effects acting on later ticks (tick_effect), the SSG volume sequences
;                      (whole_chip_ticks.inc)
;   trigger_sample ... a sample command, on a channel the songs leave free
;
; Every track keeps its state (TRACK_STATES, IY while it plays): a linear pitch in sixteenths of
; a semitone and a volume 0-64, which the effects move and which each kind of track turns into
; its registers through tables the image builder writes behind the sample table (pitch) and its
; own routines (volume), so a slide or a fade sounds alike on every kind of track.
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

; HL := the address of instrument A (0-based), from the list start_song made. Clobbers AF.
        .macro  instrument_address
        add     a,a
        ld      l,a
        ld      h,INSTRUMENT_ADDRESSES >> 8
        ld      a,(hl)
        inc     l
        ld      h,(hl)
        ld      l,a
        .endm

; IX := the address of instrument A (0-based). Clobbers AF, HL.
        .macro  instrument_ix
        instrument_address
        push    hl
        pop     ix
        .endm

        .if     INSTRUMENT_ADDRESSES & 0xFF
        .error  "the instrument list must start a page"
        .endif

        .text

        .include "board.inc"

; ==== Sequencer =============================================================================

; Stop: key the FM channels and the songs' ADPCM-A channels off, silence the SSG and stop the
; ADPCM-B; the sequencer stops. Clobbers AF, B, DE, HL.
stop_song:
        call    silence_ssg_and_adpcmb
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
; next. A missing block leaves the sequencer stopped. The tick after it prepares the rest
; (prepare_song). Clobbers AF, BC, DE, HL.
start_song:
        ld      c,a
        xor     a
        ld      (PLAYING),a
        or      c
        ret     z               ; there is no song 0
        push    bc
        call    silence_ssg_and_adpcmb  ; the last song's sequences must not step on
        ld      hl,TEMPO_SET
        ld      a,(hl)
        ld      (hl),0
        or      a               ; the timer is rewritten only after a tempo changed it
        ld      hl,default_tick_timer
        call    nz,set_tempo
        pop     bc
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
        ld      (SONG_UNPREPARED),a     ; nonzero: the next tick prepares it
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
        ld      (BREAK_ROW),a
        ld      (ROW_REPEATS),a
        ld      (STOP_AFTER_ROW),a
        dec     a
        ld      (ORDER_JUMP),a  ; NO_JUMP
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

; What a new song needs before its first row, done by the tick after its start (its first row
; comes ticks later) so that the start command is answered at once: the address of each of its
; instruments in INSTRUMENT_ADDRESSES, so that a note finds its instrument without a
; multiplication; every track's state from the start; the FM channels' outputs, the LFO and the
; ADPCM-A master level as a song starts with them. Clobbers AF, BC, DE, HL.
prepare_song:
        xor     a
        ld      (SONG_UNPREPARED),a
        ld      hl,(INSTRUMENT_TABLE)
        ld      de,INSTRUMENT_ADDRESSES
        ld      bc,INSTRUMENT_BYTES
prepare_song_instrument:
        ex      de,hl
        ld      (hl),e
        inc     l
        ld      (hl),d
        inc     l
        ex      de,hl
        add     hl,bc
        ld      a,e
        cp      2 * (WHOLE_CHIP_INSTRUMENTS)
        jr      nz,prepare_song_instrument
        ld      hl,TRACK_STATES
        ld      de,TRACK_STATES + 1
        ld      bc,WHOLE_CHIP_TRACKS * TRACK_STATE_BYTES - 1
        ld      (hl),0
        ldir
        ld      hl,TRACK_STATES
        ld      de,TRACK_STATE_BYTES
        ld      b,WHOLE_CHIP_TRACKS
prepare_song_track:
        push    hl
        pop     ix
        ld      (ix+TS_VOLUME),MAX_VOLUME
        ld      (ix+TS_EFFECT),NO_EFFECT
        ld      (ix+TS_PITCH_WRITTEN+1),0xFF    ; none: the pitch never reaches it
        ld      (ix+TS_VOLUME_WRITTEN),NO_VOLUME
        ld      (ix+TS_PAN),YM_OUTPUTS
        add     hl,de
        djnz    prepare_song_track
        ld      de,((YM_OUTPUT + 1) << 8) | YM_OUTPUTS
        ld      b,2
prepare_song_outputs:
        rst     RST_WRITE_A
        rst     RST_WRITE_B
        inc     d
        djnz    prepare_song_outputs
        ld      de,(YM_LFO << 8) | 0
        rst     RST_WRITE_A
        ld      de,(YM_ADPCMA_MASTER << 8) | YM_ADPCMA_FULL_VOLUME
        rst     RST_WRITE_B
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

; The tick timer from the TEMPO_TIMERS entry at HL. Clobbers AF, DE, HL.
set_tempo:
        ld      d,YM_TIMER_A_HIGH
        ld      e,(hl)
        rst     RST_WRITE_A
        inc     hl
        inc     d               ; YM_TIMER_A_LOW
        ld      a,(hl)
        and     3
        ld      e,a
        rst     RST_WRITE_A
        ld      a,(hl)
        rrca
        rrca
        rrca
        rrca
        and     0x0F
        ld      (TICK_DIVIDER),a
        ld      (TICK_DIVIDER_COUNT),a
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

; One row: the cells its mask names, in track order (a track without one ends the effect of its
; row before), then on to the next row, or to the next order entry after row 63, a jump or a
; break. Clobbers AF, BC, DE, HL, IX, IY.
row_step:
        ld      a,(PLAYING)
        or      a
        ret     z
        ld      (ROW_PLAYED),a
        ld      iy,TRACK_STATES
        ld      hl,(ROW_POINTER)
        ld      e,(hl)
        inc     hl
        ld      d,(hl)
        inc     hl
        ld      c,0
row_step_track:
        srl     d
        rr      e
        push    de
        jr      nc,row_step_no_cell
        call    play_cell
        jr      row_step_next_track
row_step_no_cell:
        ld      a,(iy+TS_EFFECT)
        inc     a
        jr      z,row_step_next_track
        push    hl
        call    end_track_effect
        pop     hl
row_step_next_track:
        ld      de,TRACK_STATE_BYTES
        add     iy,de
        pop     de
        inc     c
        ld      a,c
        cp      WHOLE_CHIP_TRACKS
        jr      nz,row_step_track
        ld      (ROW_POINTER),hl
        ld      a,(STOP_AFTER_ROW)
        or      a
        jp      nz,stop_song
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
        ld      hl,ORDER_JUMP
        ld      a,(hl)
        ld      (hl),NO_JUMP
        cp      NO_JUMP
        jr      nz,row_step_jump
        ld      a,(ORDER_POSITION)
        inc     a
row_step_jump:
        cp      b
        jr      c,row_step_set_order
        xor     a               ; played through, or a jump past the end: start over
row_step_set_order:
        ld      (ORDER_POSITION),a
        call    set_row_pointer
        ld      hl,BREAK_ROW
        ld      a,(hl)
        ld      (hl),0
        or      a
        ret     z
        ld      (ROW),a
        ld      b,a
        ld      hl,(ROW_POINTER)
row_step_skip_row:              ; past the rows before the break's: the mask, 4 bytes a cell
        ld      e,(hl)
        inc     hl
        ld      d,(hl)
        inc     hl
row_step_skip_cells:
        ld      a,d
        or      e
        jr      z,row_step_skipped
        srl     d
        rr      e
        jr      nc,row_step_skip_cells
        inc     hl
        inc     hl
        inc     hl
        inc     hl
        jr      row_step_skip_cells
row_step_skipped:
        djnz    row_step_skip_row
        ld      (ROW_POINTER),hl
        ret

; Plays the cell at HL on track C, IY its state; HL moves past it. Keeps C, IY; clobbers AF, B,
; DE, IX.
play_cell:
        ld      (CELL_ADDRESS),hl
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
        or      a
        jr      z,play_cell_instrument
        ld      (iy+TS_CELL),b  ; the last note, for a retrigger
play_cell_instrument:
        ld      a,(hl)          ; instrument number, 1-based; 0 also means the first
        inc     hl
        cp      NO_CELL_INSTRUMENT
        jr      z,play_cell_same_instrument
        or      a
        jr      z,play_cell_first
        dec     a
play_cell_first:
        ld      (iy+TS_INDEX),a
        ld      b,a
        ld      a,(CELL_NOTE)
        or      a
        jr      z,play_cell_same_instrument
        ld      (iy+TS_VOLUME),MAX_VOLUME   ; a note that names its instrument: at its level
play_cell_same_instrument:
        ld      a,(iy+TS_INDEX) ; without one, the track's last
        ld      (CELL_INSTRUMENT),a
        ld      a,(hl)
        inc     hl
        ld      (CELL_EFFECT),a
        ld      a,(hl)
        inc     hl
        ld      (CELL_PARAMETER),a
        push    hl
        call    play_track_cell
        pop     hl
        ret

; The current cell on track C (IY its state): its note's pitch (a portamento's target), its effect,
; then the note by the track's kind, unless the effect holds it back. Keeps C, IY.
play_track_cell:
        ld      a,(CELL_NOTE)
        or      a
        jr      z,play_track_cell_effect
        ld      a,c
        sub     FM_TRACKS
        cp      ADPCMA_TRACKS
        jr      c,play_track_cell_effect    ; drums have no pitch
        call    note_pitch
        ld      a,(CELL_EFFECT)
        cp      WC_EFFECT_PORTAMENTO
        jr      z,play_track_cell_target
        cp      WC_EFFECT_PORTAMENTO_VOLUME
        jr      z,play_track_cell_target
        ld      (iy+TS_PITCH),l
        ld      (iy+TS_PITCH+1),h
        xor     a
        ld      (iy+TS_VIBRATO_PHASE),a
        ld      (iy+TS_TREMOLO_PHASE),a
        jr      play_track_cell_effect
play_track_cell_target:         ; a portamento glides to the note without keying it
        ld      (iy+TS_TARGET),l
        ld      (iy+TS_TARGET+1),h
        xor     a
        ld      (CELL_NOTE),a
play_track_cell_effect:
        ld      (iy+TS_EFFECT),NO_EFFECT
        ld      a,(CELL_EFFECT)
        cp      NO_EFFECT
        jr      z,play_track_cell_kind  ; most cells
        call    row_effect
        ret     nc
        ld      a,(CELL_NOTE)
        or      a
        jp      z,refresh_track ; what the effect changed, where no note writes it
play_track_cell_kind:
        ld      a,(CELL_NOTE)
        or      a
        ret     z
        ld      a,c
        cp      FM_TRACKS
        jp      c,play_fm_note
        cp      FIRST_SSG_TRACK
        jp      c,play_adpcma_note
        cp      ADPCMB_TRACK
        jp      c,play_ssg_note
        jp      play_adpcmb_note

; HL := the pitch of the current cell's note: its entry (octave x 12 + note nibble - 1) in
; sixteenths. Clobbers AF, DE.
note_pitch:
        ld      a,(CELL_BLOCK)  ; octave x 8
        rrca
        ld      e,a
        add     a,a
        add     a,e             ; octave x 12
        ld      e,a
        ld      a,(CELL_NOTE)
        dec     a
        add     a,e
        ld      l,a
        ld      h,0
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl
        ret

; Keys track C off, whatever its kind (C00, ECx): an SSG note goes on to its release step. IY its
; state. Keeps C, IY; clobbers AF, DE, HL, IX.
key_track_off:
        ld      a,c
        cp      FM_TRACKS
        jr      nc,key_track_off_sampled
        call    track_key_code
        ld      d,YM_KEY_ON
        rst     RST_WRITE_A
        ret
key_track_off_sampled:
        cp      ADPCMB_TRACK
        jp      z,key_adpcmb_off
        cp      FIRST_SSG_TRACK
        jp      nc,release_ssg
        sub     FM_TRACKS
        ld      hl,adpcm_channel_bits
        ld      e,a
        ld      d,0
        add     hl,de
        ld      a,(hl)
        or      YM_ADPCMA_KEY_OFF
        ld      e,a
        ld      d,YM_ADPCMA_KEY
        rst     RST_WRITE_B
        ret

        .include "fm_tracks.inc"
        .include "whole_chip_notes.inc"
        .include "whole_chip_outputs.inc"
        .include "whole_chip_effects.inc"
        .include "whole_chip_ticks.inc"
        .include "fast_voice.inc"

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

        .balign 32              ; within one page
pitch_thirds:                   ; n / 3 for the pitch / 64 of every pitch
        .byte   0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7
default_tick_timer:             ; a song starts at 16 ms a tick, as TEMPO_TIMERS has them
        .byte   YM_TIMER_A_VALUE >> 2, (YM_TIMER_A_VALUE & 3) | (1 << 4)
fm_carriers:                    ; by algorithm: its carriers, S1 S3 S2 S4 in bits 0-3
        .byte   0x08, 0x08, 0x08, 0x08, 0x0C, 0x0E, 0x0E, 0x0F
ssg_channel_mix:                ; the YM_SSG_MIXER bits of channels A, B and C
        .byte   0x09, 0x12, 0x24

code_end:
        .org    SAMPLE_TABLE    ; the driver fills everything up to the sample table
driver_end:
