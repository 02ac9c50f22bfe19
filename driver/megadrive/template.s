| The Mega Drive test ROM's first 32 KB: a 68000 program that shows a title screen and lets the
| console's Z80 play the song block that the editor appends at 0x8000.
|
|   vectors, header .... the console's boot data; every interrupt returns at once
|   startup ............ unlocks the video chip, clears memory, starts the Z80 port of the sound
|                        driver on the song, and shows the picture; then it idles for ever
|   z80_port ........... the port (md_port.s), copied into the Z80's RAM
|   title_* ............ the picture, made from title_screen.txt at build time
|
| The editor never patches these bytes; the link checks in template.ld pin every fixed offset.

        .equ    ROM_SONG, 0x008000              | MD_ROM_SONG
        .equ    Z80_PORT_BYTES, 4096            | MD_CODE_BYTES
        .equ    Z80_RAM, 0xA00000
        .equ    Z80_RAM_BYTES, 0x2000
        .equ    Z80_MAILBOX, Z80_RAM + 0x151A   | MD_SONG_ADDRESS: 3 bytes, then the command
        .equ    Z80_COMMAND_LOOP, 2             | MD_COMMAND_LOOP
        .equ    Z80_BUS_REQUEST, 0xA11100
        .equ    Z80_RESET, 0xA11200
        .equ    VERSION, 0xA10001
        .equ    TMSS, 0xA14000
        .equ    VDP_DATA, 0xC00000
        .equ    VDP_CONTROL, 0xC00004
        .equ    WORK_RAM, 0xFF0000
        .equ    PLANE_A, 0xC000                 | the name table's place in video RAM
        .equ    TILE_WORDS, 960                 | 60 tiles of 16 words
        .equ    NAME_WORDS, 896                 | 32 x 28 cells: the whole screen

| Video chip commands: "write to video RAM / colour RAM / scroll RAM at address a".
        .macro  vram_write a
        move.l  #0x40000000 + ((\a & 0x3FFF) << 16) + (\a >> 14),VDP_CONTROL
        .endm
        .macro  cram_write a
        move.l  #0xC0000000 + (\a << 16),VDP_CONTROL
        .endm
        .macro  vsram_write a
        move.l  #0x40000010 + (\a << 16),VDP_CONTROL
        .endm
| D1 words of 0 to the video chip's data port. Clobbers D1.
        .macro  clear_words count
        move.w  #\count - 1,%d1
        .Lclear\@:
        move.w  %d0,(%a0)
        dbra    %d1,.Lclear\@
        .endm
| D1 words from A2 on to the video chip's data port. Clobbers D1, A2.
        .macro  copy_words from, count
        lea     \from,%a2
        move.w  #\count - 1,%d1
        .Lcopy\@:
        move.w  (%a2)+,(%a0)
        dbra    %d1,.Lcopy\@
        .endm

        .global vectors, header, startup, startup_end, rte_other, rte_hblank, rte_vblank
        .global z80_port, title_tiles, title_palette, title_names, title_end

        .text

| ==== Vectors and header =====================================================================

        .org    0x000
vectors:
        .long   0x00000000      | stack pointer: the first push lands at 0xFFFFFC, in work RAM
        .long   startup
        .rept   26
        .long   rte_other
        .endr
        .long   rte_hblank      | level 4: horizontal blank
        .long   rte_other
        .long   rte_vblank      | level 6: vertical blank
        .rept   33
        .long   rte_other
        .endr

        .org    0x100
header:
        .ascii  "SEGA GENESIS (C)"
        .ascii  " 2006 TESSALWRK "
        .ascii  "TEST QVXTRACKER"       | domestic name
        .fill   33, 1, 0x20
        .ascii  "TEST QVXTRACKER"       | overseas name
        .fill   33, 1, 0x20
        .ascii  "GM 00000000-00"
        .word   0xA5FB                  | checksum field, left as it is for any song
        .ascii  "JD"
        .fill   14, 1, 0x20
        .long   0x00000000              | ROM start
        .long   0x00020000              | ROM end
        .long   0x00FF0000              | RAM start
        .long   0xFFFFFFFF              | RAM end
        .fill   64, 1, 0x20
        .ascii  "JUE"
        .fill   13, 1, 0x20

| ==== Start-up ================================================================================

        .org    0x200
startup:
        | Consoles with a version above 0 keep the video chip locked until "SEGA" is written.
        move.b  VERSION,%d0
        andi.b  #0x0F,%d0
        beq.s   unlocked
        move.l  #0x53454741,TMSS
unlocked:
        lea     VDP_DATA,%a0
        lea     VDP_CONTROL,%a1
        tst.w   (%a1)                   | drops a half-written command
        lea     vdp_quiet,%a2           | display off, autoincrement 2, while memory is cleared
        moveq   #VDP_QUIET_WORDS - 1,%d1
quiet:
        move.w  (%a2)+,(%a1)
        dbra    %d1,quiet

        | Work RAM. No call before this: the stack lives there.
        moveq   #0,%d0
        lea     WORK_RAM,%a2
        move.w  #0x10000 / 4 - 1,%d1
clear_ram:
        move.l  %d0,(%a2)+
        dbra    %d1,clear_ram

        | All of video RAM, scroll RAM and colour RAM: power-on contents must never show.
        vram_write 0
        clear_words 0x8000
        vsram_write 0
        clear_words 40
        cram_write 0
        clear_words 64

        | The Z80: take its bus, copy the port into its RAM and zero the rest, fill the mailbox,
        | then reset it (and the YM2612 with it) and let it run from address 0.
        move.w  #0x100,Z80_BUS_REQUEST
        move.w  #0x100,Z80_RESET        | the bus is only granted out of reset
wait_bus:
        btst    #0,Z80_BUS_REQUEST
        bne.s   wait_bus
        lea     z80_port,%a2
        lea     Z80_RAM,%a3
        move.w  #Z80_PORT_BYTES - 1,%d1
copy_port:
        move.b  (%a2)+,(%a3)+
        dbra    %d1,copy_port
        move.w  #Z80_RAM_BYTES - Z80_PORT_BYTES - 1,%d1
clear_z80_ram:
        move.b  %d0,(%a3)+
        dbra    %d1,clear_z80_ram
        lea     Z80_MAILBOX,%a3
        move.b  #ROM_SONG & 0xFF,(%a3)+
        move.b  #(ROM_SONG >> 8) & 0xFF,(%a3)+
        move.b  #ROM_SONG >> 16,(%a3)+
        move.b  #Z80_COMMAND_LOOP,(%a3)
        move.w  #0,Z80_RESET
        move.w  #0,Z80_BUS_REQUEST
        moveq   #31,%d1                 | hold the reset long enough for the YM2612
hold_reset:
        dbra    %d1,hold_reset
        move.w  #0x100,Z80_RESET

        | The picture: the registers, then colours, tiles and the screen's names.
        lea     vdp_registers,%a2
        moveq   #VDP_REGISTER_WORDS - 1,%d1
registers:
        move.w  (%a2)+,(%a1)
        dbra    %d1,registers
        cram_write 0
        copy_words title_palette, 16
        vram_write 0
        copy_words title_tiles, TILE_WORDS
        vram_write PLANE_A
        copy_words title_names, NAME_WORDS

idle:
        bra.s   idle

| Register writes: 0x8000 + register * 256 + value.
vdp_quiet:
        .word   0x8004, 0x8104, 0x8F02
        .equ    VDP_QUIET_WORDS, (. - vdp_quiet) / 2
| Mode 5 with the display on, 32 cells wide; plane A and the sprite table at 0xC000, window and
| plane B at 0xE000, horizontal scroll at 0xB800, a 32 x 32 plane, autoincrement 2. Register
| 0x0E is not written. The sprite table shares the plane's first words, which the picture keeps
| zero: sprite 0 then lies off screen and ends the sprite list.
vdp_registers:
        .word   0x8006, 0x8144, 0x8230, 0x8338, 0x8407, 0x8560, 0x8600, 0x8700
        .word   0x8801, 0x8901, 0x8A01, 0x8B00, 0x8C00, 0x8D2E, 0x8F02, 0x9000, 0x9100
        .equ    VDP_REGISTER_WORDS, (. - vdp_registers) / 2
startup_end:

| ==== Interrupts =============================================================================

        .org    0x46E
rte_other:
        rte
rte_hblank:
        rte
rte_vblank:
        rte

| ==== The Z80 port and the picture ===========================================================

        .org    0x474
z80_port:
        .incbin "md_port.bin"

        .org    0x1474
        .include "title_screen.s"
title_end:
