 include "inc.asm"
 nop
