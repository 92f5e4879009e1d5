wait    macro n
        ld b,n
again:  djnz again
        endm
        macro twice, x
        x
        x
        endm
one     proc
in:     wait 3
        jr in
        endp
        twice nop : twice scf
        rlc (iy-5),b
        out (c),0
        in f,(c)
        ld ixh,ixl
