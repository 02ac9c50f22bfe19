| A stand-in system ROM for running built sound ROMs in MAME's Neo Geo ("aes"), whose own system
| ROM is copyrighted. It does only what a game does for its sound: it waits for the Z80 to answer,
| then writes the sound commands of a table to the sound latch at set video frames and reads back
| each answer. MAME saves the memory card when it stops; that is where the answers go. It is
| linked to run at 0xC00000, where the Neo Geo maps its system ROM.
|
| The table is in the cartridge's P ROM at TABLE: a word frame (counted from the Z80's first
| answer) and a word command per entry, in order of frames, ended by the frame 0xFFFF.
|
| The log on the memory card (the card holds one byte per 68000 word, at odd addresses), with the
| video chip's line counter (0xF8 to 0x1FF) saying where in a frame things happened:
|   byte 0: entries logged; byte 1: the frame since reset of the Z80's first answer (low 8 bits);
|   bytes 2-3: the line at reset; bytes 4-5: the line at which the vertical blank interrupt came;
|   from byte 6, eight bytes an entry: frame (high, low), command, answer, line (high, low), and
|   the reads of the answer it took to change (high, low; 30 cycles, 2.5 us each).

        .equ    WORK_RAM,       0x100000
        .equ    FRAME,          WORK_RAM        | .l video frames since the Z80 answered
        .equ    FRAME_SINCE_RESET, WORK_RAM + 4 | .l video frames since reset
        .equ    STACK_TOP,      0x10F300
        .equ    REG_WATCHDOG,   0x300001        | any write keeps the machine from resetting
        .equ    REG_SOUND,      0x320000        | write: command to the Z80; read: its answer
        .equ    REG_LSPCMODE,   0x3C0006        | read: the line counter in bits 15-7
        .equ    REG_IRQACK,     0x3C000C        | bit 2 acknowledges the vertical blank
        .equ    MEMCARD,        0x800001
        .equ    TABLE,          0x000200
        .equ    HELLO,          0x7F            | keys all ADPCM-A channels off and is answered 0x7F
        .equ    ANSWER_POLLS,   800             | about 2 ms of reads at 12 MHz

        .text
        .globl  start
        .long   STACK_TOP
        .long   start
        .rept   23
        .long   ignore                          | bus and address errors ... level 0
        .endr
        .long   vertical_blank                  | level 1 autovector
        .rept   6
        .long   ignore
        .endr

start:
        move.w  #0x2700,%sr
        move.b  %d0,REG_WATCHDOG
        move.w  #7,REG_IRQACK
        clr.l   FRAME
        clr.l   FRAME_SINCE_RESET
        move.w  REG_LSPCMODE,%d7
        lsr.w   #7,%d7
        move.b  %d7,MEMCARD + 6
        lsr.w   #8,%d7
        move.b  %d7,MEMCARD + 4
        clr.b   MEMCARD
        lea     MEMCARD + 12,%a1                | the first entry
        move.w  #0x2000,%sr                     | frames count from here

| The Z80 is up once it answers: ask once a frame until it does.
hello:
        move.b  #HELLO,REG_SOUND
        move.l  FRAME_SINCE_RESET,%d0
1:      move.b  %d0,REG_WATCHDOG
        cmpi.b  #HELLO,REG_SOUND
        beq.s   answered
        cmp.l   FRAME_SINCE_RESET,%d0
        beq.s   1b
        bra.s   hello
answered:
        clr.l   FRAME
        move.b  FRAME_SINCE_RESET + 3,MEMCARD + 2

        lea     TABLE,%a0
next:
        move.w  (%a0)+,%d1                      | the entry's frame
        cmpi.w  #0xFFFF,%d1
        beq.s   idle
        move.w  (%a0)+,%d2                      | its command
1:      move.b  %d0,REG_WATCHDOG
        cmp.w   FRAME + 2,%d1
        bhi.s   1b
        move.w  REG_LSPCMODE,%d7
        move.b  REG_SOUND,%d3                   | the answer before this command
        move.b  %d2,REG_SOUND
        move.w  #ANSWER_POLLS,%d4
2:      move.b  REG_SOUND,%d5
        cmp.b   %d3,%d5
        dbne    %d4,2b
        | An answer equal to the one before (a sample on channel 0 after a tick's 0) is read after
        | the polls.
        move.w  %d1,%d6
        lsr.w   #8,%d6
        move.b  %d6,(%a1)
        move.b  %d1,2(%a1)
        move.b  %d2,4(%a1)
        move.b  %d5,6(%a1)
        lsr.w   #7,%d7
        move.b  %d7,10(%a1)
        lsr.w   #8,%d7
        move.b  %d7,8(%a1)
        move.w  #ANSWER_POLLS,%d6
        sub.w   %d4,%d6
        move.b  %d6,14(%a1)
        lsr.w   #8,%d6
        move.b  %d6,12(%a1)
        lea     16(%a1),%a1
        addq.b  #1,MEMCARD
        bra.s   next

idle:
        move.b  %d0,REG_WATCHDOG
        bra.s   idle

vertical_blank:
        move.w  %d7,-(%sp)
        move.w  REG_LSPCMODE,%d7
        lsr.w   #7,%d7
        move.b  %d7,MEMCARD + 10
        lsr.w   #8,%d7
        move.b  %d7,MEMCARD + 8
        move.w  (%sp)+,%d7
        addq.l  #1,FRAME
        addq.l  #1,FRAME_SINCE_RESET
        move.w  #4,REG_IRQACK
ignore:
        rte
