#pragma once
// The Currah µSpeech's memory side. While it is fitted ("uSpeech" on) it decodes every write below
// 0x4000 as its registers, so memory there is never written. While its ROM is paged in (toggled by
// the fetch at 0x0038) reads of 0x0000-0x07FF see its 2 KB ROM and a read of 0x1000 its busy flag.
#include "devices/device.h"

namespace orvo {

void SetUSpeechPaged(MachineState& m, bool paged);
// The busy flag read at 0x1000 while the ROM is paged in.
void SetUSpeechBusy(MachineState& m, bool busy);
// Once per output sample: plays the allophone on by the time passed.
void CurrahSpeechStep(MachineState& m);
// A write below 0x4000 while it is fitted: 0x1000 starts an allophone (unless one is playing),
// 0x3000 and 0x3001 set the normal and the raised pitch.
void USpeechMemoryWrite(MachineState& m, uint16_t address, uint8_t value);

extern const Device kUSpeechDevice;

}  // namespace orvo
