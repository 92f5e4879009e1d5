#include "app/tape_run_options.h"

#include <cstdio>
#include <filesystem>

#include "formats/z80_format.h"
#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/snapshot_save.h"
#include "shell/tape_boot.h"
#include "shell/tape_commands.h"
#include "snapshot/snapshot_apply.h"
#include "tape/tape_player.h"

namespace orvo {

const char kTapeRunHelp[] =
    "Tape:\n"
    "  --tape FILE        insert a tape (TAP, TZX, CSW, WAV or PZX)\n"
    "  --save-tape FILE   SAVE from the ROM appends its blocks to the TAP file FILE\n"
    "  --autoload         boot to the tape loader (boot snapshot from libs/, else by typing) and\n"
    "                     let the deck start and stop itself\n"
    "  --fastload         run flat out while the tape plays\n"
    "  --traps            load standard blocks through the ROM loader trap\n"
    "  --wobble           jitter the tape's pulse lengths\n"
    "  --until-tape-end   end the run when the tape has played to its end (within --frames)\n"
    "  --make-tape-boot FILE  boot the model to its tape loader and save a version 3 Z80 there\n";

int ParseTapeRunOption(const std::vector<std::string>& args, size_t& i, TapeRunOptions& options,
                       std::string* error) {
  const std::string& a = args[i];
  if (a == "--autoload") {
    options.autoload = true;
  } else if (a == "--fastload") {
    options.fastload = true;
  } else if (a == "--traps") {
    options.traps = true;
  } else if (a == "--wobble") {
    options.wobble = true;
  } else if (a == "--until-tape-end") {
    options.untilTapeEnd = true;
  } else if (a == "--tape" || a == "--make-tape-boot" || a == "--save-tape") {
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      *error = a + " needs a file name";
      return -1;
    }
    std::string& value = a == "--tape"        ? options.tapePath
                         : a == "--save-tape" ? options.saveTapePath
                                              : options.bootSnapshotPath;
    value = args[++i];
  } else {
    return 0;
  }
  return 1;
}

void TapeRun::Configure(Settings& settings) const {
  if (options_.autoload) settings.Autoload = 1;
  if (options_.fastload) settings.Fastload = 1;
  if (options_.traps) settings.TapeTraps = 1;
  if (options_.wobble) settings.TapeWobble = 1;
}

bool TapeRun::Start(Emulator& emu) {
  MachineState& m = emu.m;
  if (!options_.bootSnapshotPath.empty()) {
    if (!BootToTapeLoader(emu)) {
      std::fprintf(stderr, "orvo-run: the ROM did not reach its tape loader\n");
      return false;
    }
    const std::vector<uint8_t> z80 =
        WriteZ80(CaptureSnapshot(m), 3, IsPlus2AFamily(m.MachineModel));
    if (!WriteFileReplacing(options_.bootSnapshotPath, z80)) {
      std::fprintf(stderr, "orvo-run: cannot write %s\n", options_.bootSnapshotPath.c_str());
      return false;
    }
    std::fprintf(stderr, "Tape boot snapshot: %s\n", options_.bootSnapshotPath.c_str());
  }
  if (!options_.saveTapePath.empty()) SetSaveToTape(emu, true, options_.saveTapePath);
  if (options_.tapePath.empty()) return true;

  if (options_.autoload) {
    // The boot snapshots in libs/ were made from the ROMs in the roms folder beside it; with
    // ROMs from elsewhere the machine is booted to its loader instead.
    const std::string boot = emu.folders.LibsFolder + TapeBootSnapshotName(m.MachineModel);
    const std::filesystem::path libs = std::filesystem::path(emu.folders.LibsFolder).parent_path();
    std::error_code ec;
    const bool ownRoms =
        std::filesystem::equivalent(std::filesystem::path(emu.folders.LoadedRomPath).parent_path(),
                                    libs.parent_path() / "roms", ec);
    if (ownRoms && std::filesystem::exists(boot, ec)) {
      if (LoadTapeBootSnapshot(emu) != 0) return false;
    } else if (!BootToTapeLoader(emu)) {
      std::fprintf(stderr, "orvo-run: the ROM did not reach its tape loader\n");
      return false;
    }
    ResetTapeAutoStart(m);
  }
  const TapeKind kind = TapeKindOf(options_.tapePath);
  std::vector<uint8_t> bytes;
  if (kind == TapeKind::None) {
    emu.ShowMessage(CaptionId::Options, kMsgUnknownExtension);
    return false;
  }
  if (ReadTapeFile(emu, options_.tapePath, bytes) != 0) return false;
  const int status = LoadTapeBytes(emu, bytes, kind, options_.tapePath);
  if (!m.tape.image) return false;
  std::fprintf(stderr, "Tape: %s (%zu blocks%s)\n", options_.tapePath.c_str(),
               m.tape.image->blocks.size(), status == 0 ? "" : ", parse stopped early");
  return true;
}

bool TapeRun::Done(const Emulator& emu) const {
  return options_.untilTapeEnd && TapeAtEnd(emu.m);
}

std::string TapeRun::Summary(const Emulator& emu) const {
  const MachineState& m = emu.m;
  if (!m.tape.image) return {};
  char line[160];
  if (TapeAtEnd(m)) {
    std::snprintf(line, sizeof line, "Tape: at its end after %llu frames",
                  static_cast<unsigned long long>(m.FrameCount));
  } else {
    const TapeBlock* b = m.tape.image->current;
    std::snprintf(line, sizeof line, "Tape: %s at block %u of %zu after %llu frames",
                  m.TapePlaying ? "playing" : "stopped", b ? b->index + 1 : 0u,
                  m.tape.image->blocks.size(), static_cast<unsigned long long>(m.FrameCount));
  }
  return line;
}

}  // namespace orvo
