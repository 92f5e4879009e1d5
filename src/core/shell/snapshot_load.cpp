#include "shell/snapshot_load.h"

#include "devices/standard_devices.h"
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
    ShowFormatError(emu.host, status);
    return 1;
  }
  // A device block the device cannot take refuses the file before anything changes.
  if (!SnapshotDeviceBlocksValid(emu.m, record)) {
    ShowFormatError(emu.host, {FormatError::SzxBlockLength, 0});
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
  // A file made with an Interface 1 fitted needs one (its ROM may be paged in). Like AY48K this
  // is a setting the file turns on, and it stays.
  if (record.interface1.value_or(false)) {
    emu.settings.Interface1 = 1;
    emu.PendingSettings.Interface1 = 1;
  }
  m.MachineModel = static_cast<uint8_t>(record.model);
  SetUpMachine(emu);
  ApplySnapshot(m, record);
  // A joystick the file names is the one this game reads: the user's controller, or else the
  // keyboard, emulates it while this machine runs. The user's own choice, which orvo.ini keeps,
  // is not changed and comes back with the next machine set-up.
  if (record.joystick && *record.joystick != 0) {
    const int32_t type = *record.joystick;
    const bool controller = emu.settings.JoystickType != 0;
    emu.ChangeForThisMachine(
        [&](MachineSettings& s) { (controller ? s.JoystickType : s.KeystickType) = type; });
    if (!controller) {
      m.input.KeystickActive = 1;
      m.input.JoystickActive = 0;
      emu.menu.Check(CommandId::EnableKeystick, true);
    }
  }
  // The keyboard issue is the snapshot machine's, for this run only: the next set-up goes back to
  // the user's "Keyboard Issue". Only the 48K has a choice.
  if (record.issue2 && m.MachineModel == kModel48K) {
    m.Issue3Keyboard = *record.issue2 ? 0 : 1;
    m.IssueMask = m.Issue3Keyboard ? 0x10 : 0x18;
  }
  // A ROM loader reads its own output back on the EAR bit: it must read what it wrote last.
  RestoreUlaOutputs(m);
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
