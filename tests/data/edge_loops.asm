; Waits for the tape's edges with loaders' loops of several shapes, 300 edges with each in turn,
; and keeps B at every edge in a ring at #C000: a pass counted wrong moves every later edge. The
; first two give up after fewer passes than a leader's pulse takes, so their counters run out.
        org #8000
start:  di
        ld hl,rom_edge
        ld de,slow_edge
        ld bc,rom_edge_end-rom_edge
        ldir
        ld hl,#c000
        ld c,0
        ld d,0
main:   ld ix,300
.v1:    call rom_edge
        call keep
        jr nz,.v1
        ld ix,300
.v2:    call dec_edge
        call keep
        jr nz,.v2
        ld ix,300
.v3:    call djnz_edge
        call keep
        jr nz,.v3
        ld ix,300
.v4:    call pre_edge
        call keep
        jr nz,.v4
        ld ix,300
.v5:    call slow_edge
        call keep
        jr nz,.v5
        jr main
; Stores B, counts IX down: NZ while edges remain.
keep:   ld (hl),b
        inc hl
        ld a,h
        or #c0
        ld h,a
        dec ix
        ld a,ixh
        or ixl
        ret
; The ROM's shape: INC B, RET Z, the port, RRA, RET NC, XOR C, AND, JR Z.
rom_edge:
        ld b,#e8
.loop:  inc b
        ret z
        ld a,#7f
        in a,(#fe)
        rra
        ret nc
        xor c
        and #20
        jr z,.loop
        jp flip
rom_edge_end:
; Counting down, a compare and absolute jumps.
dec_edge:
        ld b,30
.loop:  dec b
        jp z,.out
        ld a,#7f
        in a,(#fe)
        and #40
        cp d
        jp z,.loop
        ld d,a
.out:   ret
; DJNZ after the test, the port read first.
djnz_edge:
        ld b,200
.loop:  ld a,#7f
        in a,(#fe)
        xor c
        and #40
        jr nz,.got
        djnz .loop
        ret
.got:   ld a,c
        xor #40
        ld c,a
        ret
; The counter stepped before the port and its Z tested after it; the port's high byte is what
; the test leaves in A.
pre_edge:
        xor a
        ld b,a
        jr .loop
.in:    in a,(#fe)
        rra
        ret z
        xor c
        and #20
        jr z,.loop
        jr flip
.loop:  inc b
        jr nz,.in
        ret
; An edge came: the level C keeps in bit 5 turns over.
flip:   ld a,c
        xor #20
        ld c,a
        ret
; The ROM's shape again, copied into contended memory at the start (its jumps are relative).
slow_edge = #6000
        end start
