#pragma once
// The Emulator owns one machine with its settings and each subsystem's record. There are no
// mutable globals: any number of emulators can run side by side.
#include <memory>
#include <string>
#include <string_view>

#include "machine/machine_state.h"
#include "rzx/rzx_session.h"
#include "shell/config.h"
#include "shell/disk_state.h"
#include "shell/file_state.h"
#include "shell/host.h"
#include "shell/menu_state.h"
#include "shell/settings.h"

namespace orvo {

// Folders: each has a configured value (as read from orvo.ini) and a current value.
struct Folders {
  std::string ProgramFolder;  // folder of the running program, no trailing separator
  std::string RomsFolder;     // ProgramFolder + "/roms/"
  std::string LibsFolder;     // ProgramFolder + "/libs/"
  std::string ConfigFolder;   // $XDG_CONFIG_HOME/Orvo
  std::string ConfiguredRomDir, CurrentRomDir;
  std::string ConfiguredSnapDir, CurrentSnapDir;
  std::string ConfiguredTapeDir, CurrentTapeDir;
  std::string ConfiguredDownloadDir, CurrentDownloadDir;
  std::string LoadedRomPath;  // where the current model's ROM was last read from
};

class Emulator {
 private:
  std::unique_ptr<MachineState> machine_;  // declared first: `m` refers into it

 public:
  explicit Emulator(Host& host);
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  Host& host;
  MachineState& m;                           // the machine (heap-allocated: it is large)
  Settings settings;                         // the live settings
  Settings PendingSettings;                  // what SaveConfig writes and the option pages edit
  Settings LoadedSettings = ZeroSettings();  // LoadConfig's staging copy, zero until a load
  Folders folders;
  ConfigState config;  // window placements and the options sheet's working state
  MenuStates menu;
  FileState files;          // the file dispatch's names and loaded bytes (shell/file_state.h)
  DiskDrives disks;         // the +3 drives' files (shell/disk_commands.h)
  BetaDrives betaDisks;     // the Beta 128 drives' files (shell/beta_disk_commands.h)
  bool NoThrottle = false;  // headless runs: never wait for wall-clock time
  RzxSession rzx;           // input recording playback and recording

  void ShowMessage(CaptionId caption, MessageId message, std::string_view detail = {}) {
    host.ShowMessage(caption, message, detail);
  }

  // The machine keeps its own copy of the settings it reads (m.settings). The live settings are
  // copied in whenever they change; the few the machine changes itself while it runs (a program's
  // use of the AY on a 48K, a fast load's frame skip, the +2A/+3 set-up's ULA snow) are read back
  // before the live settings are used or copied in again.
  void ApplyMachineSettings();  // the live settings -> the machine
  // Every machine setting that changed in the machine since it was last copied in -> the live
  // settings. A live setting changed since then, and not by the machine, stays as it is.
  void ReadBackMachineSettings();
  // Changes the machine's own copy of its settings for as long as this machine runs: the live
  // settings (what orvo.ini keeps) do not see the change, and the next machine set-up goes back
  // to them. A snapshot's joystick is such a change.
  template <class Change>
  void ChangeForThisMachine(Change&& change) {
    change(m.settings);
    change(applied_);
  }

 private:
  MachineSettings applied_;  // what ApplyMachineSettings last copied in
};

}  // namespace orvo
