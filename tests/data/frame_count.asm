; Counts loop passes between two interrupts, in uncontended memory with an IM 2 handler of fixed
; length: the count follows the frame length alone.
        org #8000
start:  di
        ld a,#90
        ld i,a
        im 2
        ld sp,#9F00
        ei
        halt            ; in step with the interrupt
        xor a
        ld (flag),a
        ld hl,0
count:  inc hl          ; 6
        ld a,(flag)     ; 13
        or a            ; 4
        jr z,count      ; 12: 35 T-states a pass
done:   di
        jr done
handler:
        push af
        ld a,1
        ld (flag),a
        pop af
        ei
        reti
flag:   db 0
        org #9000
        ds 257,#91
        org #9191
        jp handler
