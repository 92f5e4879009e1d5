; a little of everything
        org #8000
VALUE   equ 2+3*4
count = 1
count = count+1
start:  ld a,(ix+VALUE)
.loop:  djnz .loop
        jr start.loop
        db 1, #FF, $10, 0x20, &30, 40h, %101, 11b, 'x', "str"
        dw start, $, -1
        ds 4, 0AAh
        align 8
        if VALUE > 10
        nop
        else
        halt
        endif
        ifdef count
        ei
        endif
        incbin "data.bin", 1, 2
        end start
