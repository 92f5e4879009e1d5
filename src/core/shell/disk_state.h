#pragma once
// The +3 drives as the shell sees them: which file each holds and whether it may be written.
#include <array>
#include <string>

namespace orvo {

struct DiskDrives {
  std::array<std::string, 2> path;  // shown as "Disk A:" / "Disk B:"; empty when none
  std::array<bool, 2> readOnly{};   // the file cannot be written: mounted write-protected
  int lastDrive = 0;                // the drive of the last "Insert Disk" command
};

}  // namespace orvo
