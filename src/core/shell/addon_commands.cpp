#include "shell/addon_commands.h"

#include <vector>

#include "devices/beta128.h"
#include "devices/multiface.h"
#include "formats/file_io.h"
#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/setup.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"

namespace orvo {

namespace {

constexpr size_t kMultifaceRomSize = 8192;
constexpr size_t kCurrahRomSize = 2048;
constexpr uintmax_t kCartridgeSize = 16384;

const char* MultifaceRomName(uint8_t model, bool one) {
  if (IsPlus2AFamily(model)) return "MF3.rom";
  return one ? "mf1.rom" : "MF128.rom";
}

}  // namespace

void LoadAddonRoms(Emulator& emu) {
  MachineState& m = emu.m;
  const Settings& s = emu.settings;
  std::vector<uint8_t> rom;
  const bool one = s.Multiface == kMultifaceOne && Is48KGroup(m.MachineModel);
  // A failed load leaves the add-on without its image, which keeps it off; the setting stays as
  // the user chose it, for the next start with the image in place.
  if (s.Multiface) ReadAddonRom(emu, MultifaceRomName(m.MachineModel, one), kMultifaceRomSize, rom);
  SetMultifaceRom(m, rom, one);
  // The +2A/+3 have no slot for the Interface II.
  if (!Interface2Allowed(emu)) m.CartridgeInserted = 0;

  rom.clear();
  if (s.USpeech) ReadAddonRom(emu, "currah.rom", kCurrahRomSize, rom);
  m.CurrahRom = std::move(rom);

  // The Beta 128's TR-DOS ROM, with the Pentagon or the "Beta 128" setting.
  rom.clear();
  if (Beta128Wanted(m.MachineModel, s.Beta128))
    ReadAddonRom(emu, kTrdosRomName, kTrdosRomSize, rom);
  m.TrdosRom = std::move(rom);
}

bool ModelTakesAddon(uint8_t model, Addon addon) {
  const bool connector =
      model == kModel16K || model == kModel48K || model == kModel128K || model == kModelPlus2;
  switch (addon) {
    case Addon::kInterface1:
    case Addon::kPrinter:
    case Addon::kInterface2: return connector;
    case Addon::kUSpeech: return !IsPlus2AFamily(model);
    case Addon::kOrator: return !Is128KFamily(model);
  }
  return false;
}

std::string AddonRefusal(uint8_t model, Addon addon) {
  static constexpr const char* kNames[] = {"Interface 1", "ZX Printer", "Interface II cartridge",
                                           "Currah uSpeech", "Fuller Orator"};
  std::string name = model < kModelCount ? ModelTable[model].modelName : " this model";
  name.erase(0, name.find_first_not_of(' '));
  return "the " + name + " takes no " + kNames[static_cast<int>(addon)];
}

bool Interface2Allowed(const Emulator& emu) {
  return ModelTakesAddon(emu.m.MachineModel, Addon::kInterface2);
}

int InsertInterface2Cartridge(Emulator& emu, const std::string& path) {
  if (!Interface2Allowed(emu)) return 1;
  emu.files.CurrentFilePath = path;
  if (path.size() < 4 || path.compare(path.size() - 4, 4, ".rom") != 0) {
    emu.ShowMessage(CaptionId::File, kMsgUnknownExtension);
    return 1;
  }
  std::vector<uint8_t> image;
  const ReadFailure read = ReadRegularFile(path, image, kCartridgeSize);
  if (read != ReadFailure::None && read != ReadFailure::TooLarge) {
    emu.ShowMessage(CaptionId::File, kMsgFileNotFound, path);
    return 1;
  }
  // A file of another size is not a cartridge: a short one would leave part of the ROM undefined.
  if (read == ReadFailure::TooLarge || image.size() != kCartridgeSize) {
    emu.ShowMessage(CaptionId::Error, kMsgRomLength);
    return 1;
  }
  MachineState& m = emu.m;
  m.CartridgeImage = std::move(image);
  m.CartridgeInserted = 1;
  ResetMemoryMap(m);
  ResetMachine(m, false);
  ReleaseAllKeys(m);
  return 0;
}

void RemoveInterface2Cartridge(Emulator& emu) {
  MachineState& m = emu.m;
  m.CartridgeInserted = 0;
  ResetMemoryMap(m);
  ResetMachine(m, false);
}

}  // namespace orvo
