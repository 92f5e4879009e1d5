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

// The Beta 128's four drives: the file each disk came from and the file its changes go to (the
// same file for a TRD; for an SCL, the TRD file of the same name beside it).
struct BetaDrives {
  std::array<std::string, 4> path;
  std::array<std::string, 4> savePath;
  std::array<bool, 4> readOnly{};
};

}  // namespace orvo
