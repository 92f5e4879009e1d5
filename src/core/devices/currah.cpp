// The Currah µSpeech. While it is fitted ("uSpeech" on) it decodes every write below 0x4000 as its
// registers, so memory there is never written: a write to 0x1000 starts an allophone, one to
// 0x3000 or 0x3001 sets the normal or the raised pitch of the following samples. While its ROM is
// paged in (toggled by the fetch at 0x0038, and on the 48K group by an OUT to low byte 0x39) page 0
// reads the device's own 8 KB image: the page beneath with the 2 KB ROM over its start and the
// busy flag at 0x1000, rebuilt whenever the map is resolved.
//
// Its register writes and the data read of 0x0038 that also flips its ROM reach it through the
// memory accessors' slow path (SetUSpeechReadWatch), taken only while it is fitted.
#include "devices/currah.h"

#include <algorithm>
#include <cstring>

#include "devices/device.h"
#include "devices/speech.h"
#include "devices/speech_synth.h"
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo {

namespace {

constexpr uint32_t kPage = 0x2000;
constexpr uint32_t kRomSize = 0x0800;
constexpr uint32_t kBusyAddress = 0x1000;
constexpr uint32_t kPitchAddress = 0x3000;  // 0x3001: the raised pitch
constexpr uint32_t kPauseLengths[5] = {82, 245, 407, 814, 1607};
constexpr uint32_t kNormalSteps[5] = {79, 105, 153, 211, 317};
constexpr uint32_t kRaise = 10;
constexpr uint8_t kStateVersion = 1;

void BuildUSpeechPage(MachineState& m, int, const uint8_t* below) {
  m.CurrahPage.resize(kPage);
  std::memcpy(m.CurrahPage.data(), below, kPage);
  // Without a ROM image the page beneath shows through.
  const size_t rom = std::min<size_t>(m.CurrahRom.size(), kRomSize);
  std::copy_n(m.CurrahRom.begin(), rom, m.CurrahPage.begin());
  m.CurrahPage[kBusyAddress] = m.CurrahBusy;
}

bool USpeechFitted(const MachineState& m) {
  return m.settings.USpeech != 0 && m.CurrahRom.size() == kRomSize;
}

void MapUSpeech(MachineState& m) {
  const bool fitted = USpeechFitted(m);
  SetUSpeechTrap(m, fitted);
  SetUSpeechReadWatch(m, fitted);
  if (!fitted) {
    m.sound.CurrahSpeechStep = nullptr;
    UnmapOverlay(m, OverlayLayer::kUSpeech);
    return;
  }
  m.sound.CurrahSpeechStep = CurrahSpeechStep;
  m.CurrahPage.resize(kPage);
  MemoryOverlay overlay;
  overlay.pages[0].write = m.WriteSink.data();
  overlay.pages[1].write = m.WriteSink.data();
  if (m.CurrahPaged) {
    overlay.pages[0].read = m.CurrahPage.data();
    overlay.BuildPage = BuildUSpeechPage;
  }
  MapOverlay(m, OverlayLayer::kUSpeech, overlay);
}

void ToggleWrite(MachineState& m, uint16_t, uint8_t) {
  USpeechToggle(m);
}

void USpeechPorts(PortRowList& rows, const MachineState& m) {
  if (GroupOf(m.MachineModel) == ModelGroup::k48)
    rows.Add({.mask = 0x00FF, .value = 0x39, .write = ToggleWrite});
}

void USpeechFrameEnd(MachineState& m) {
  if (!SpeechRunsWithSound(m)) CurrahSpeechStep(m);
  m.speech.CurrahLastTState -= static_cast<int32_t>(m.FrameLength);
}

void USpeechReset(MachineState& m, bool) {
  SpeechUnitState& s = m.speech;
  s.CurrahRemaining = 0;
  s.CurrahStep = kNormalSteps[2];
  s.CurrahIntonation = 2;
  s.CurrahLastTState = 0;
  SetUSpeechBusy(m, false);
  m.sound.SpeechLevel = kSpeechSilence;
  if (m.CurrahPaged) SetUSpeechPaged(m, false);
}

// The block: flags (bit 0 the ROM paged in, bit 1 busy), the intonation index, the step, the
// allophone (0xFF a pause), the sample position and the samples remaining (each 32-bit, little
// endian), and the T-state accumulator.
void PutLong(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t GetLong(std::span<const uint8_t> b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
constexpr size_t kStateSize = 1 + 1 + 1 + 4 + 1 + 4 + 4 + 4;

void USpeechSave(const MachineState& m, std::vector<uint8_t>& out) {
  if (!USpeechFitted(m)) return;
  const SpeechUnitState& s = m.speech;
  out.push_back(kStateVersion);
  out.push_back(static_cast<uint8_t>((m.CurrahPaged ? 1 : 0) | (m.CurrahBusy ? 2 : 0)));
  out.push_back(s.CurrahIntonation);
  PutLong(out, s.CurrahStep);
  out.push_back(s.CurrahCode < 0 ? 0xFF : static_cast<uint8_t>(s.CurrahCode));
  PutLong(out, s.CurrahPosition);
  PutLong(out, s.CurrahRemaining);
  PutLong(out, s.CurrahAccumulator);
}

bool USpeechCheck(std::span<const uint8_t> b) {
  if (b.size() != kStateSize || b[0] != kStateVersion || b[2] > 4) return false;
  const uint8_t code = b[7];
  if (code == 0xFF) return true;
  if (code >= 59) return false;
  // The position and count must stay inside the allophone.
  const uint64_t length = CurrahAllophones()[code].samples.size();
  return uint64_t{GetLong(b, 8)} + GetLong(b, 12) <= length;
}

bool USpeechLoad(MachineState& m, std::span<const uint8_t> b) {
  if (!USpeechCheck(b)) return false;
  SpeechUnitState& s = m.speech;
  s.CurrahIntonation = b[2];
  s.CurrahStep = std::clamp<uint32_t>(GetLong(b, 3), 1, 1000);
  s.CurrahCode = b[7] == 0xFF ? -1 : b[7];
  s.CurrahPosition = GetLong(b, 8);
  s.CurrahRemaining = GetLong(b, 12);
  s.CurrahAccumulator = GetLong(b, 16);
  s.CurrahLastTState = static_cast<int32_t>(m.FrameTState);
  SetUSpeechBusy(m, (b[1] & 2) != 0);
  SetUSpeechPaged(m, (b[1] & 1) != 0);
  return true;
}

}  // namespace

void SetUSpeechPaged(MachineState& m, bool paged) {
  m.CurrahPaged = paged ? 1 : 0;
  MapUSpeech(m);
}

void SetUSpeechBusy(MachineState& m, bool busy) {
  m.CurrahBusy = busy ? 1 : 0;
  if (m.CurrahPage.size() == kPage) m.CurrahPage[kBusyAddress] = m.CurrahBusy;
}

void CurrahSpeechStep(MachineState& m) {
  SpeechUnitState& s = m.speech;
  s.CurrahAccumulator += SpeechElapsed(m, s.CurrahLastTState);
  if (s.CurrahRemaining == 0) {
    if (m.CurrahBusy) SetUSpeechBusy(m, false);
    s.CurrahAccumulator = 0;
    return;
  }
  // At low output rates several speech samples fall into one output sample: the last one sounds.
  const std::vector<uint8_t>* samples =
      s.CurrahCode >= 0 ? &CurrahAllophones()[static_cast<size_t>(s.CurrahCode)].samples : nullptr;
  while (s.CurrahRemaining != 0 && s.CurrahAccumulator >= s.CurrahStep) {
    s.CurrahAccumulator -= s.CurrahStep;
    --s.CurrahRemaining;
    if (samples && s.CurrahPosition < samples->size())
      m.sound.SpeechLevel = SpeechLevelOf((*samples)[s.CurrahPosition++]);
  }
}

void USpeechMemoryWrite(MachineState& m, uint16_t address, uint8_t value) {
  SpeechUnitState& s = m.speech;
  if (address == kPitchAddress || address == kPitchAddress + 1) {
    const uint32_t normal = kNormalSteps[s.CurrahIntonation];
    s.CurrahStep = address == kPitchAddress ? normal : normal - kRaise;
    return;
  }
  if (address != kBusyAddress || m.CurrahBusy) return;  // the chip takes nothing while it speaks
  // Time runs for the new sound from this write.
  CurrahSpeechStep(m);
  const uint8_t code = value & 63;
  if (code < 5) {
    s.CurrahCode = -1;
    s.CurrahRemaining = kPauseLengths[code];
    m.sound.SpeechLevel = kSpeechSilence;
  } else {
    s.CurrahCode = code - 5;
    s.CurrahPosition = 0;
    s.CurrahRemaining =
        static_cast<uint32_t>(CurrahAllophones()[static_cast<size_t>(code - 5)].samples.size());
  }
  s.CurrahAccumulator = 0;
  SetUSpeechBusy(m, true);
}

const Device kUSpeechDevice = {.name = "uSpeech",
                               .Fitted = USpeechFitted,
                               .Ports = USpeechPorts,
                               .Configure = MapUSpeech,
                               .Reset = USpeechReset,
                               .FrameEnd = USpeechFrameEnd,
                               .stateId = "USPE",
                               .SaveState = USpeechSave,
                               .CheckState = USpeechCheck,
                               .LoadState = USpeechLoad};

}  // namespace orvo
