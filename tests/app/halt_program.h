#pragma once
// A program that halts for every interrupt and then shows, in the first byte of the screen, the
// frames counted by the ROM's interrupt routine (FRAMES) less its own count of HALTs left. The
// byte stays as it is while the program runs on, whatever the number of frames; one instruction
// after the HALT run twice or skipped on reloading a snapshot changes it for good.

namespace orvo::test {

constexpr const char* kHaltProgram =
    "        org #8000\n"
    "start:  di\n"
    "        im 1\n"
    "        ld c,0\n"
    "        ei\n"
    "loop:   halt\n"
    "        inc c\n"
    "        ld a,(23672)\n"
    "        sub c\n"
    "        ld (#4000),a\n"
    "        jr loop\n";

}  // namespace orvo::test
