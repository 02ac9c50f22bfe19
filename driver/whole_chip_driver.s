; QVXTracker's whole-chip sound driver for the Neo Geo sound board: a Z80 at 4 MHz driving a
; YM2610. It plays whole-chip songs on every channel of the chip: four FM tracks as the classic
; driver plays them, six ADPCM-A tracks whose notes key the samples of drum kits, three SSG
; tracks and the ADPCM-B track, on the board, the commands and the tick the classic driver has
; (board.inc), so a game's code does not change with it.
;
; Where to look:
;   start_song ....... finds song n ("QVX1" blocks behind the pitch tables) and starts it
;   row_step ......... one row: the cells its mask names, then the next row / order entry
;   play_cell ........ one cell: an FM note (voice, frequency, then key-on), a kit's sample,
;                      an SSG note or an ADPCM-B note
;   every_tick ....... the SSG volume sequences, one step a tick
;   trigger_sample ... a sample command, on a channel the songs leave free
;
; The SSG and ADPCM-B take their pitch from tables: the image builder writes the SSG's tone and
; envelope periods behind the sample table, and each ADPCM-B instrument's delta-N per note into
; its song block, so every note is the nearest the chip has to its pitch.
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

; The cell's effect: returns from the caller when it holds the note back (D, F, C00). Most cells
; have none (0xFF), which this passes by without a call. Clobbers AF, DE.
        .macro  cell_effect
        ld      a,(CELL_EFFECT)
        inc     a
        jr      z,cell_effect_none\@
        call    run_effect
        ret     nc
cell_effect_none\@:
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
; next. A missing block leaves the sequencer stopped. Clobbers AF, BC, DE, HL.
start_song:
        ld      c,a
        xor     a
        ld      (PLAYING),a
        or      c
        ret     z               ; there is no song 0
        push    bc
        call    silence_ssg_and_adpcmb  ; the last song's sequences must not step on
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
        ld      (INSTRUMENTS_UNLISTED),a    ; nonzero: the next tick lists them
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

; Lists the address of each instrument of the playing song in INSTRUMENT_ADDRESSES, so that a
; note finds its instrument without a multiplication. The tick after a song starts does it (its
; first row comes ticks later), so that the start command is answered at once. Clobbers AF, BC,
; DE, HL.
list_instruments:
        xor     a
        ld      (INSTRUMENTS_UNLISTED),a
        ld      hl,(INSTRUMENT_TABLE)
        ld      de,INSTRUMENT_ADDRESSES
        ld      bc,INSTRUMENT_BYTES
list_instruments_next:
        ex      de,hl
        ld      (hl),e
        inc     l
        ld      (hl),d
        inc     l
        ex      de,hl
        add     hl,bc
        ld      a,e
        cp      2 * (WHOLE_CHIP_INSTRUMENTS)
        jr      nz,list_instruments_next
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
        call    play_track_cell
        pop     hl
        ret

; The current cell on track C, by the track's kind.
play_track_cell:
        ld      a,c
        cp      FM_TRACKS
        jr      c,play_fm_cell
        cp      FIRST_SSG_TRACK
        jp      c,play_adpcma_cell
        cp      ADPCMB_TRACK
        jp      c,play_ssg_cell
        jp      play_adpcmb_cell

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
        call    load_voice      ; which keys the channel off before the voice
        cell_effect
        call    track_key_code
        ld      d,YM_KEY_ON
        jr      play_fm_cell_frequency
play_fm_cell_effect:
        cell_effect              ; D, F and C00 hold the note back
        call    track_key_code
        ld      d,YM_KEY_ON
        rst     RST_WRITE_A     ; key off ...
play_fm_cell_frequency:
        push    de
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
        pop     de
        ld      a,e
        or      YM_ALL_OPERATORS
        ld      e,a
        rst     RST_WRITE_A     ; ... and on with all four operators
        ret

; The current cell on ADPCM-A track C: its effect, then (unless the effect holds the note back)
; the sample the instrument's kit gives the note, at the kit note's level. A kit note without a
; sample plays nothing. Keeps C; clobbers AF, B, DE, HL.
play_adpcma_cell:
        cell_effect
        ld      a,(CELL_NOTE)
        or      a
        ret     z
        cp      KIT_NOTES       ; nibble 12 is the C: kit note 0
        jr      c,play_adpcma_cell_kit
        xor     a
play_adpcma_cell_kit:
        add     a,a             ; KIT_NOTE_BYTES each
        ld      e,a
        ld      d,0
        ld      a,(CELL_INSTRUMENT)
        instrument_address
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
        ld      c,a             ; the channel ...
        ld      a,YM_ADPCMA_START_LOW
        add     a,c
        ld      d,a
        push    bc              ; B: the level
        ld      b,SONG_SAMPLE_BYTES
play_adpcma_cell_address:       ; start lo, hi, end lo, hi: registers 8 apart
        ld      e,(hl)
        rst     RST_WRITE_B
        inc     hl
        ld      a,d
        add     a,YM_ADPCMA_START_HIGH - YM_ADPCMA_START_LOW
        ld      d,a
        djnz    play_adpcma_cell_address
        pop     bc
        ld      a,YM_ADPCMA_LEVEL
        add     a,c
        ld      d,a
        ld      a,b
        or      YM_ADPCMA_BOTH
        ld      e,a
        rst     RST_WRITE_B
        clear_flag_and_key_on
        ld      a,c
        add     a,FM_TRACKS     ; ... and the track again
        ld      c,a
        ret

; Keys track C off, whatever its kind (C00): an SSG note goes on to its release step. Keeps C;
; clobbers DE; A nonzero.
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
        jr      c,key_track_off_adpcma
        push    bc
        push    hl
        push    ix
        push    iy
        sub     FIRST_SSG_TRACK
        ld      c,a
        call    release_ssg
        pop     iy
        pop     ix
        pop     hl
        pop     bc
        ld      a,1
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

; ==== SSG and ADPCM-B =======================================================================

; HL := the offset of the current cell's note in a pitch table. Clobbers AF, DE.
note_pitch_offset:
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
        ret

; IX and HL := the current cell's instrument. Clobbers AF.
cell_instrument:
        ld      a,(CELL_INSTRUMENT)
        instrument_address
        push    hl
        pop     ix
        ret

; IY := the state of SSG channel C. Clobbers AF, DE.
ssg_state:
        ld      a,c
        add     a,a
        add     a,a
        add     a,a             ; SSG_STATE_BYTES each
        ld      e,a
        ld      d,0
        ld      iy,SSG_STATES
        add     iy,de
        ret

; The current cell on SSG track C: its effect, then (unless the effect holds the note back) the
; tone period, the mixer, the noise period and the envelope the voice asks for, and the first
; step of its volume sequence. Keeps C; clobbers AF, B, DE, HL, IX, IY.
play_ssg_cell:
        cell_effect
        ld      a,(CELL_NOTE)
        or      a
        ret     z
        ld      a,c
        sub     FIRST_SSG_TRACK
        ld      c,a
        call    ssg_note
        ld      a,c
        add     a,FIRST_SSG_TRACK
        ld      c,a
        ret

; Plays the current cell's note on SSG channel C. Keeps C; clobbers AF, B, DE, HL, IX, IY.
ssg_note:
        call    cell_instrument
        call    ssg_state
        ld      (iy+SSG_VOICE),l
        ld      (iy+SSG_VOICE+1),h
        call    note_pitch_offset
        push    hl
        ld      de,SSG_TONE_PERIODS
        add     hl,de
        ld      a,c
        add     a,a
        ld      d,a             ; YM_SSG_TONE + 2 x channel
        ld      e,(hl)
        rst     RST_WRITE_A
        inc     d
        inc     hl
        ld      e,(hl)
        rst     RST_WRITE_A
        ; The mixer: the channel's two bits as the voice has them, the others' kept.
        push    ix
        pop     hl
        ld      e,c
        ld      d,0
        add     hl,de
        ld      b,(hl)          ; SSG_MIX + channel
        ld      hl,ssg_channel_mix
        add     hl,de
        ld      a,(hl)
        cpl
        ld      hl,SSG_MIXER_SHADOW
        and     (hl)
        or      b
        ld      (hl),a          ; written at every note: a preview may have changed it
        ld      e,a
        ld      d,YM_SSG_MIXER
        rst     RST_WRITE_A
        ; One noise generator and one envelope for the three channels: the last note's wins.
        bit     SSG_NOISE_OFF_BIT,(ix+SSG_MIX)
        jr      nz,ssg_note_envelope
        ld      d,YM_SSG_NOISE
        ld      e,(ix+SSG_NOISE)
        rst     RST_WRITE_A
ssg_note_envelope:
        pop     hl
        bit     SSG_ENVELOPE_BIT,(ix+SSG_FLAGS)
        jr      z,ssg_note_level
        bit     SSG_FOLLOWS_BIT,(ix+SSG_FLAGS)
        jr      nz,ssg_note_buzz
        push    ix
        pop     hl
        ld      de,SSG_ENVELOPE_PERIOD
        jr      ssg_note_envelope_period
ssg_note_buzz:
        ld      de,SSG_SAW_PERIODS
        bit     1,(ix+SSG_SHAPE)        ; the triangles repeat every 64 steps, not 32
        jr      z,ssg_note_envelope_period
        ld      de,SSG_TRIANGLE_PERIODS
ssg_note_envelope_period:
        add     hl,de
        ld      d,YM_SSG_ENVELOPE_LOW
        ld      e,(hl)
        rst     RST_WRITE_A
        inc     d
        inc     hl
        ld      e,(hl)
        rst     RST_WRITE_A
        ld      d,YM_SSG_ENVELOPE_SHAPE
        ld      e,(ix+SSG_SHAPE)
        rst     RST_WRITE_A
ssg_note_level:
        ld      (iy+SSG_NOTE_FLAGS),SSG_SOUNDING | SSG_FRESH
        ld      (iy+SSG_LEVEL_WRITTEN),0xFF     ; no level: the first is always written
        xor     a
        jr      ssg_set_step

; Key-off on SSG channel C: on to the voice's release step, or silence without one. Keeps C;
; clobbers AF, DE, HL, IX, IY.
release_ssg:
        call    ssg_state
        ld      a,(iy+SSG_NOTE_FLAGS)
        and     ~SSG_FRESH & 0xFF
        cp      SSG_SOUNDING
        ret     nz              ; silent, or released already
        call    ssg_voice
        ld      a,(ix+SSG_RELEASE_STEP)
        cp      NO_STEP
        jr      z,silence_ssg_channel
        ld      (iy+SSG_NOTE_FLAGS),SSG_SOUNDING | SSG_RELEASED | SSG_FRESH
        jr      ssg_set_step

; IX := the voice of the note on the channel of IY. Clobbers HL.
ssg_voice:
        ld      l,(iy+SSG_VOICE)
        ld      h,(iy+SSG_VOICE+1)
        push    hl
        pop     ix
        ret

; Silences SSG channel C (IY its state). Keeps C; clobbers AF, DE.
silence_ssg_channel:
        xor     a
        ld      (iy+SSG_NOTE_FLAGS),a
        ld      (iy+SSG_LEVEL_WRITTEN),a
        ld      e,a
        ld      a,YM_SSG_LEVEL
        add     a,c
        ld      d,a
        rst     RST_WRITE_A
        ret

; Once a tick, after the row: a new song's instrument list, then each sounding SSG note's next
; step, but for notes keyed or released this tick, which start where they are. Clobbers AF, BC,
; DE, HL, IX, IY (the tick handler's caller, the idle loop, uses neither index register).
every_tick:
        ld      a,(INSTRUMENTS_UNLISTED)
        or      a
        call    nz,list_instruments
        ld      iy,SSG_STATES
        ld      c,0
every_tick_channel:
        ld      a,(iy+SSG_NOTE_FLAGS)
        or      a
        jr      z,every_tick_next
        bit     SSG_FRESH_BIT,a
        call    z,ssg_next_step
        res     SSG_FRESH_BIT,(iy+SSG_NOTE_FLAGS)
every_tick_next:
        ld      de,SSG_STATE_BYTES
        add     iy,de
        inc     c
        ld      a,c
        cp      SSG_TRACKS
        jr      nz,every_tick_channel
        ret

; Steps the sequence of SSG channel C (IY its state, A its flags): on while the steps last (to the
; release step while the note is held), then back to the loop step, or stay. Clobbers AF, B, DE,
; HL, IX.
ssg_next_step:
        ld      b,a
        call    ssg_voice
        ld      e,(ix+SSG_STEP_COUNT)
        bit     SSG_RELEASED_BIT,b
        jr      nz,ssg_next_step_end
        ld      a,(ix+SSG_RELEASE_STEP)
        cp      NO_STEP
        jr      z,ssg_next_step_end
        ld      e,a
ssg_next_step_end:
        ld      a,(iy+SSG_STEP)
        inc     a
        cp      e
        jr      c,ssg_set_step
        bit     SSG_RELEASED_BIT,b
        ret     nz
        ld      a,(ix+SSG_LOOP_STEP)
        cp      NO_STEP
        ret     z
        ; on to ssg_set_step

; Step A of the voice IX on SSG channel C (IY its state): its level, written when it changed.
; Clobbers AF, DE, HL.
ssg_set_step:
        ld      (iy+SSG_STEP),a
        push    ix
        pop     hl
        ld      de,SSG_LEVELS
        add     hl,de
        ld      e,a
        srl     e
        ld      d,0
        add     hl,de
        rra                     ; odd steps lie in the high nibble
        ld      a,(hl)
        jr      nc,ssg_set_step_nibble
        rrca
        rrca
        rrca
        rrca
ssg_set_step_nibble:
        and     0x0F
        jr      z,ssg_set_step_write
        bit     SSG_ENVELOPE_BIT,(ix+SSG_FLAGS)
        jr      z,ssg_set_step_write
        ld      a,YM_SSG_ENVELOPE_LEVEL     ; a sequence gates the envelope on and off
ssg_set_step_write:
        cp      (iy+SSG_LEVEL_WRITTEN)
        ret     z
        ld      (iy+SSG_LEVEL_WRITTEN),a
        ld      e,a
        ld      a,YM_SSG_LEVEL
        add     a,c
        ld      d,a
        rst     RST_WRITE_A
        ret

; Silences the three SSG channels and stops the ADPCM-B (both its outputs on for what comes);
; the mixer turns everything off.
; Clobbers AF, B, DE, HL.
silence_ssg_and_adpcmb:
        ld      hl,SSG_STATES + SSG_NOTE_FLAGS
        ld      de,(YM_SSG_LEVEL << 8) | 0
        ld      b,SSG_TRACKS
silence_ssg_and_adpcmb_channel:
        ld      (hl),e
        inc     hl
        ld      (hl),e          ; SSG_LEVEL_WRITTEN
        push    de
        ld      de,SSG_STATE_BYTES - 1
        add     hl,de
        pop     de
        rst     RST_WRITE_A
        inc     d
        djnz    silence_ssg_and_adpcmb_channel
        ld      a,YM_SSG_ALL_OFF
        ld      (SSG_MIXER_SHADOW),a
        ld      e,a
        ld      d,YM_SSG_MIXER
        rst     RST_WRITE_A
        ld      de,(YM_ADPCMB_PAN << 8) | YM_ADPCMB_BOTH   ; both outputs for the song's notes
        rst     RST_WRITE_A
key_adpcmb_off:
        ld      de,(YM_ADPCMB_CONTROL << 8) | YM_ADPCMB_RESET
        rst     RST_WRITE_A
        ret

; The current cell on the ADPCM-B track: its effect, then (unless the effect holds the note back)
; the instrument's sample at the note's delta-N, its level, the end flag cleared as for ADPCM-A,
; and the start, looped or not. Keeps C; clobbers AF, B, DE, HL, IX.
play_adpcmb_cell:
        cell_effect
        ld      a,(CELL_NOTE)
        or      a
        ret     z
        call    key_adpcmb_off  ; a sample playing stops before its addresses change
        call    cell_instrument
        ld      d,YM_ADPCMB_START_LOW
        ld      b,4
play_adpcmb_cell_address:
        ld      e,(hl)
        rst     RST_WRITE_A
        inc     d
        inc     hl
        djnz    play_adpcmb_cell_address
        call    note_pitch_offset
        ld      e,(ix+ADPCMB_RATES)
        ld      d,(ix+ADPCMB_RATES+1)
        add     hl,de
        ld      de,(SONG_BLOCK)
        add     hl,de
        ld      d,YM_ADPCMB_DELTA_LOW
        ld      e,(hl)
        rst     RST_WRITE_A
        inc     d
        inc     hl
        ld      e,(hl)
        rst     RST_WRITE_A
        ld      d,YM_ADPCMB_LEVEL
        ld      e,(ix+ADPCMB_LEVEL)
        rst     RST_WRITE_A
        ld      de,(YM_ADPCMA_FLAGS << 8) | YM_ADPCMB_FLAG
        rst     RST_WRITE_A
        ld      e,0
        rst     RST_WRITE_A
        ld      d,YM_ADPCMB_CONTROL
        ld      e,(ix+ADPCMB_CONTROL)
        rst     RST_WRITE_A
        ret

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

ssg_channel_mix:                ; the YM_SSG_MIXER bits of channels A, B and C
        .byte   0x09, 0x12, 0x24

code_end:
        .org    SAMPLE_TABLE    ; the driver fills everything up to the sample table
driver_end:
