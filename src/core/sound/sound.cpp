#include "sound/sound.h"

#include <algorithm>

#include "sound/sound_output.h"

namespace orvo {

SoundState::SoundState() : SoundStaging(kSoundStagingSize, 0) {
  BuildAyVolumeTable(*this);
}

void SpecDrumWrite(MachineState& m, uint8_t value) {
  m.sound.SpecDrumLevel = static_cast<int16_t>(value * 128 - 16384);
}

void AyFullerSelect(MachineState& m, uint8_t value) {
  AyChip& ay = m.sound.ay;
  ay.GateClosed = AyGated(m);
  ay.CatchUp();  // ticks due from before the chip was switched on are dropped
  ay.SelectFuller(value);
  m.settings.Ay48k = 1;  // stays on, and is saved with the configuration
  ay.GateClosed = 0;
}

void BuildAyVolumeTable(SoundState& s) {
  // base x 0.9765625 is base x 1000 / 1024, exact in integers.
  for (int i = 0; i < 16; ++i)
    s.AyVolumeTable[i] = static_cast<uint16_t>(kAyVolumeBase[i] * 1000 / 1024);
}

void GenerateSampleAfter(MachineState& m, uint32_t tstates) {
  AyChip& ay = m.sound.ay;
  ay.GateClosed = AyGated(m);
  ay.CatchUp(tstates);
  GenerateSample(m);
}

void UpdateChannelLevels(MachineState& m) {
  AyChip& ay = m.sound.ay;
  if (AyGated(m)) {
    ay.ChannelLevel[0] = ay.ChannelLevel[1] = ay.ChannelLevel[2] = 0;
    return;
  }
  ay.UpdateChannelLevels(m.sound.AyVolumeTable);
}

namespace {

inline uint32_t Saturate16(int32_t v) {
  if (v < 0) return 0;
  if (v > 65535) return 65535;
  return static_cast<uint32_t>(v);
}

}  // namespace

StereoSample MixStereo(MachineState& m) {
  SoundState& s = m.sound;
  const MachineSettings& cfg = m.settings;

  // While the tape plays, a high EAR level sounds through the speaker until the next port 0xFE
  // write sets the level again.
  if (m.TapePlaying && m.tape.EarBit == 0x40) m.ports.BeeperLevel = 4096;

  int32_t a = s.ay.ChannelLevel[0];
  int32_t b = s.ay.ChannelLevel[1];
  int32_t c = s.ay.ChannelLevel[2];
  if (cfg.SpecDrum) {
    // The DAC is signed about its centre: it pulls the sum down as well as up.
    a += s.SpecDrumLevel;
    b += s.SpecDrumLevel;
    c += s.SpecDrumLevel;
    s.ay.ChannelLevel[0] = static_cast<uint16_t>(a);
    s.ay.ChannelLevel[1] = static_cast<uint16_t>(b);
    s.ay.ChannelLevel[2] = static_cast<uint16_t>(c);
  }
  // The speech units sound beside the AY and the beeper: their level joins the beeper's, which
  // is in the centre.
  int32_t beeper = static_cast<int32_t>(m.ports.BeeperLevel);
  if (cfg.USpeech || cfg.FullerOrator) {
    if (cfg.USpeech && s.CurrahSpeechStep) s.CurrahSpeechStep(m);
    if (cfg.FullerOrator && s.OratorSpeechStep) s.OratorSpeechStep(m);
    beeper += static_cast<int32_t>(s.SpeechLevel & 0xFFFF);
  }

  // Each side's level. Stereo pans the AY's channels as the mode's name reads: ABC puts A on the
  // left, B in the centre (half on each side) and C on the right; ACB has C in the centre and B
  // on the right. Mono has every channel on both sides.
  int32_t left, right;
  switch (cfg.Output) {
    case 0:  // Mono
      left = right = beeper + a + b + c;
      break;
    case 2:  // ACB Stereo
      left = beeper + a + c / 2;
      right = beeper + b + c / 2;
      break;
    default:  // ABC Stereo
      left = beeper + a + b / 2;
      right = beeper + c + b / 2;
      break;
  }

  // Sums that leave the 16-bit range clip at its ends instead of wrapping round. A side at full
  // scale is twice its level, so a sound on both sides is as loud as in mono.
  const uint32_t l = Saturate16(left);
  const uint32_t r = Saturate16(right);
  switch (cfg.Effect) {
    case 1: {  // Echo
      s.EchoLeft.Write(static_cast<uint16_t>(l));
      const uint32_t dl = s.EchoLeft.Read();
      s.EchoRight.Write(static_cast<uint16_t>(r));
      const uint32_t dr = s.EchoRight.Read();
      return {static_cast<uint16_t>(Saturate16(static_cast<int32_t>(l + (dl >> 1)))),
              static_cast<uint16_t>(Saturate16(static_cast<int32_t>(r + (dr >> 1))))};
    }
    case 2: {  // Reverb
      const uint32_t dl = s.EchoLeft.Read();
      const uint32_t dr = s.EchoRight.Read();
      const uint32_t nl = (dl >> 1) + (l >> 1);
      const uint32_t nr = (dr >> 1) + (r >> 1);
      s.EchoLeft.Write(static_cast<uint16_t>(nl));
      s.EchoRight.Write(static_cast<uint16_t>(nr));
      return {static_cast<uint16_t>(Saturate16(static_cast<int32_t>(2 * nl))),
              static_cast<uint16_t>(Saturate16(static_cast<int32_t>(2 * nr)))};
    }
    default:
      return {static_cast<uint16_t>(Saturate16(static_cast<int32_t>(2 * l))),
              static_cast<uint16_t>(Saturate16(static_cast<int32_t>(2 * r)))};
  }
}

uint16_t MixSample(MachineState& m) {
  const StereoSample both = MixStereo(m);
  return static_cast<uint16_t>((both.left + both.right) / 2);
}

namespace {

void GenerateOneSample(MachineState& m) {
  SoundState& s = m.sound;
  UpdateChannelLevels(m);
  const bool stereo = m.settings.Output != 0;
  StereoSample mix;
  if (stereo) {
    mix = MixStereo(m);
  } else {
    mix.left = mix.right = MixSample(m);
  }

  // Volume 0-30 is silence, 40-70 unity, 80-100 double (clipped at full scale).
  const uint32_t gain = static_cast<uint32_t>(m.settings.SoundVolume) / 40;
  const uint32_t levels[2] = {std::min<uint32_t>(mix.left * gain, 65535),
                              std::min<uint32_t>(mix.right * gain, 65535)};

  // The mix rises from 0, which is silence. It is written as the formats' own silence plus the
  // level: 16-bit samples are signed (silence 0), 8-bit ones unsigned (silence 0x80), as sound
  // devices and WAV files take them, so starting or stopping the sound makes no click. Stereo
  // frames are left then right.
  uint8_t* out = s.SoundStaging.data() + s.StagingPosition;
  const int channels = stereo ? 2 : 1;
  for (int ch = 0; ch < channels; ++ch) {
    const uint32_t v = levels[ch];
    if (m.settings.SoundBits == 16) {
      const uint32_t level = v >> 1;  // 0..32767
      *out++ = static_cast<uint8_t>(level);
      *out++ = static_cast<uint8_t>(level >> 8);
      s.StagingPosition += 2;
    } else {
      *out++ = static_cast<uint8_t>(kSilence8Bit + (v >> 9));
      s.StagingPosition += 1;
    }
  }
  if (s.StagingPosition >= s.FrameBytes) SubmitSoundFrame(m);
}

}  // namespace

void GenerateSteadySamples(MachineState& m, uint32_t tstates) {
  SoundState& s = m.sound;
  AyChip& ay = s.ay;
  ay.GateClosed = 1;
  ay.CatchUp(tstates);
  if (s.SteadySize == 0) {
    // The first: mixed, and its bytes kept (a full frame handed on leaves them in the staging).
    const uint32_t at = s.StagingPosition;
    s.SampleAccumulator =
        s.SampleAccumulator > s.SampleStep ? s.SampleAccumulator - s.SampleStep : 0;
    GenerateOneSample(m);
    const uint32_t size = (m.settings.Output != 0 ? 2u : 1u) * (m.settings.SoundBits == 16 ? 2 : 1);
    std::copy_n(s.SoundStaging.data() + at, size, s.SteadyBytes);
    s.SteadySize = static_cast<uint8_t>(size);
    if (s.SampleAccumulator < s.SampleStep) return;
  }
  const uint32_t size = s.SteadySize;
  do {
    s.SampleAccumulator -= s.SampleStep;
    std::copy_n(s.SteadyBytes, size, s.SoundStaging.data() + s.StagingPosition);
    s.StagingPosition += size;
    if (s.StagingPosition >= s.FrameBytes) SubmitSoundFrame(m);
  } while (s.SampleAccumulator >= s.SampleStep);
}

void GenerateSample(MachineState& m) {
  SoundState& s = m.sound;
  do {
    s.SampleAccumulator =
        s.SampleAccumulator > s.SampleStep ? s.SampleAccumulator - s.SampleStep : 0;
    GenerateOneSample(m);
  } while (s.SampleAccumulator >= s.SampleStep);
}

}  // namespace orvo
