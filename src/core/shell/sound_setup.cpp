#include "shell/sound_setup.h"

#include "shell/emulator.h"
#include "sound/sound_output.h"

namespace orvo {

namespace {

// The device set-up's messages, shown under caption 7 as the sound device's errors always were.
MessageId OpenFailureMessage(SoundOpenResult result) {
  switch (result) {
    case SoundOpenResult::NoDevice: return kMsgSoundNoDevice;
    case SoundOpenResult::NoPriority: return kMsgSoundNoPriority;
    case SoundOpenResult::NoPrimary: return kMsgSoundNoPrimary;
    case SoundOpenResult::NoRing: return kMsgSoundNoRing;
    case SoundOpenResult::NoPlay: return kMsgSoundNoPlay;
    case SoundOpenResult::Ok: break;
  }
  return kMsgNone;
}

}  // namespace

int InitSound(Emulator& emu) {
  const SoundOpenResult result = OpenSound(emu.m, emu.host.Audio(), emu.host.GetClock());
  emu.ReadBackMachineSettings();
  if (result == SoundOpenResult::Ok) return 0;
  // The sound system's own reason follows the message.
  const AudioDevice* device = emu.host.Audio();
  emu.ShowMessage(CaptionId::PokeMemory, OpenFailureMessage(result),
                  device != nullptr ? device->LastError() : std::string());
  return 1;
}

void StartSound(Emulator& emu) {
  // At start-up the failed step is followed by the general word that the program goes on
  // without sound.
  if (InitSound(emu) != 0) emu.ShowMessage(CaptionId::Error, kMsgSoundInitFailed);
}

void ReopenSound(Emulator& emu) {
  if (!emu.m.sound.PrimaryBuffer) return;
  CloseSound(emu.m);
  InitSound(emu);
}

void InitSoundCapture(Emulator& emu, SoundFrameSink& sink) {
  OpenSoundCapture(emu.m, sink);
  emu.ReadBackMachineSettings();
}

}  // namespace orvo
