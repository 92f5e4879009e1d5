#include "shell/snapshot_load.h"

#include "formats/sna_format.h"
#include "formats/snapshot_48k.h"
#include "formats/szx_format.h"
#include "formats/z80_format.h"
#include "shell/emulator.h"
#include "shell/format_messages.h"
#include "shell/machine_setup.h"
#include "snapshot/snapshot_apply.h"

namespace orvo {

namespace {

template <class Parser>
int LoadWith(Emulator& emu, std::span<const uint8_t> data, Parser parse) {
  SnapshotRecord record;
  if (const FormatStatus status = parse(data, record); !status.Ok()) {
    ShowFormatError(emu.host, status, emu.files.CurrentFilePath);
    return 1;
  }
  // A device block the device cannot take refuses the file before anything changes.
  if (!SnapshotDeviceBlocksValid(emu.m, record)) {
    ShowFormatError(emu.host, {FormatError::SzxBlockLength, 0}, emu.files.CurrentFilePath);
    return 1;
  }
  LoadSnapshotRecord(emu, record);
  return 0;
}

}  // namespace

void LoadSnapshotRecord(Emulator& emu, const SnapshotRecord& record) {
  MachineState& m = emu.m;
  if (record.ayOn48K) {
    emu.settings.Ay48k = 1;  // copied into the machine by the set-up below
    emu.PendingSettings.Ay48k = 1;
  }
  // A file made with an Interface 1 fitted needs one (its ROM may be paged in); a joystick the
  // file names becomes the one the user's controller, or else the keyboard, emulates. Like AY48K
  // these are settings the file turns on, and they stay.
  if (record.interface1.value_or(false)) {
    emu.settings.Interface1 = 1;
    emu.PendingSettings.Interface1 = 1;
  }
  if (record.joystick && *record.joystick != 0) {
    Settings& s = emu.settings;
    int32_t& type = s.JoystickType != 0 ? s.JoystickType : s.KeystickType;
    type = *record.joystick;
    emu.PendingSettings.JoystickType = s.JoystickType;
    emu.PendingSettings.KeystickType = s.KeystickType;
  }
  m.MachineModel = static_cast<uint8_t>(record.model);
  SetUpMachine(emu);
  ApplySnapshot(m, record);
  // The keyboard issue is the snapshot machine's, for this run only: the next set-up goes back to
  // the user's "Keyboard Issue". Only the 48K has a choice.
  if (record.issue2 && m.MachineModel == kModel48K) {
    m.Issue3Keyboard = *record.issue2 ? 0 : 1;
    m.IssueMask = m.Issue3Keyboard ? 0x10 : 0x18;
  }
  emu.files.FileTypeLabel = record.label;
  if (record.nearestModel) {
    const std::string_view name = m.spec.modelName;
    emu.ShowMessage(CaptionId::Options, kMsgNearestModel, name.substr(name.find_first_not_of(' ')));
  }
}

int LoadZ80(Emulator& emu, std::span<const uint8_t> data) {
  return LoadWith(emu, data, ParseZ80);
}

int LoadSNA(Emulator& emu, std::span<const uint8_t> data) {
  return LoadWith(emu, data, ParseSNA);
}

int LoadSZX(Emulator& emu, std::span<const uint8_t> data) {
  return LoadWith(emu, data, ParseSZX);
}

int LoadOtherSnapshot(Emulator& emu, FileKind kind, std::span<const uint8_t> data) {
  switch (kind) {
    case FileKind::Snx: return LoadWith(emu, data, ParseSNX);
    case FileKind::Sp: return LoadWith(emu, data, ParseSP);
    case FileKind::Sem: return LoadWith(emu, data, ParseSEM);
    case FileKind::Snp: return LoadWith(emu, data, ParseSNP);
    case FileKind::Sit: return LoadWith(emu, data, ParseSIT);
    case FileKind::Zxs: {
      const auto current = static_cast<SnapshotModel>(emu.m.MachineModel);
      return LoadWith(emu, data, [current](std::span<const uint8_t> d, SnapshotRecord& r) {
        return ParseZXS(d, r, current);
      });
    }
    default: return 1;
  }
}

}  // namespace orvo
