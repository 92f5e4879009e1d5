#include "shell/snapshot_load.h"

#include <array>
#include <string>
#include <vector>

#include "devices/device.h"
#include "devices/printer.h"
#include "devices/standard_devices.h"
#include "formats/sna_format.h"
#include "formats/snapshot_48k.h"
#include "formats/szx_format.h"
#include "formats/z80_format.h"
#include "shell/addon_commands.h"
#include "shell/beta_disk_commands.h"
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
  LoadSnapshotRecord(emu, record);
  return 0;
}

// A device whose block's presence says it is fitted (the format's rule for these blocks): the
// setting that fits it, and the value.
struct FittingBlock {
  const char* id;
  int32_t MachineSettings::*setting;
};
constexpr FittingBlock kFittingBlocks[] = {
    {"DRUM", &MachineSettings::SpecDrum}, {"USPE", &MachineSettings::USpeech},
    {"PLTT", &MachineSettings::UlaPlus},  {"IF1", &MachineSettings::Interface1},
    {"B128", &MachineSettings::Beta128},
};

void FitDevicesOfBlocks(Emulator& emu, const SnapshotRecord& record) {
  for (const FittingBlock& f : kFittingBlocks) {
    if (!record.FindBlock(f.id)) continue;
    emu.settings.*f.setting = 1;
    emu.PendingSettings.*f.setting = 1;
  }
  // The Multiface block names the kind fitted to a 16K or 48K: 0 the Multiface One, 1 the 128.
  // The other models take their own (the 128, or the 3 on the +2A/+3) whichever it names.
  if (const SnapshotBlock* mf = record.FindBlock("MFCE");
      mf && !mf->body.empty() && mf->body[0] <= 1) {
    emu.settings.Multiface = emu.PendingSettings.Multiface = mf->body[0] == 0 ? kMultifaceOne : 1;
  }
  // The AMX mouse block names the mouse: 1 an AMX, 2 a Kempston mouse.
  if (const SnapshotBlock* amx = record.FindBlock("AMXM");
      amx && !amx->body.empty() && (amx->body[0] == 1 || amx->body[0] == 2)) {
    emu.settings.MouseType = emu.PendingSettings.MouseType = amx->body[0];
  }
}

// The readable name of a block's ID ("AY" for "AY\0\0").
std::string BlockName(const std::array<char, 4>& id) {
  std::string name;
  for (const char c : id) {
    if (c == '\0') break;
    name.push_back(c >= 32 && c < 127 ? c : '?');
  }
  return name;
}

// The blocks of `record` that go to no device here (none keeps state under that name, it is not
// fitted, or it cannot take the block): taken out of the record, their names listed.
std::string LeaveOutUnusedBlocks(const MachineState& m, SnapshotRecord& record) {
  static const char* const kFormatOwn[] = {"KEYB", "CRTR", "JOY", "ROM"};
  std::string names;
  std::vector<SnapshotBlock> kept;
  for (SnapshotBlock& b : record.blocks) {
    bool taken = false;
    for (const char* own : kFormatOwn) taken = taken || b.id == SnapshotBlockId(own);
    for (const Device* device : m.Devices) {
      if (!device->stateId || b.id != SnapshotBlockId(device->stateId)) continue;
      taken = taken || (DeviceFitted(m, *device) && device->LoadState &&
                        (!device->CheckState || device->CheckState(b.body)));
    }
    if (taken) {
      kept.push_back(std::move(b));
    } else {
      if (!names.empty()) names += ", ";
      names += BlockName(b.id);
    }
  }
  record.blocks = std::move(kept);
  return names;
}

}  // namespace

void LoadSnapshotRecord(Emulator& emu, const SnapshotRecord& given) {
  MachineState& m = emu.m;
  SnapshotRecord record = given;
  FitDevicesOfBlocks(emu, record);
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
  InsertSnapshotBetaDisks(emu, record);
  // The printer block's first flag says a ZX Printer is attached, where the model takes one.
  if (const SnapshotBlock* printer = record.FindBlock("ZXPR");
      printer && !printer->body.empty() && (printer->body[0] & 1) &&
      ModelTakesAddon(m.MachineModel, Addon::kPrinter)) {
    SetPrinterAttached(m, true);
  }
  const std::string leftOut = LeaveOutUnusedBlocks(m, record);
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
  if (!leftOut.empty()) emu.ShowMessage(CaptionId::Options, kMsgDevicesLeftOut, leftOut);
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
