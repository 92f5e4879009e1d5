v equ (1<<4|2)&~1^3 == 19 || !0 && 5>=4
w equ HIGH 1234h + LOW(1234h) * 3 MOD 7 - -2 / (1-1)
 ld a,'''' : ld bc,"AB"
