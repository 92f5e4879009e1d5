#include "shell/binary_file.h"

#include "machine/machine_state.h"
#include "shell/file_dispatch.h"
#include "sound/wav_file.h"

namespace orvo {

MessageId LoadBinary(MachineState& m, std::span<const uint8_t> bytes, uint32_t address) {
  if (address > 0xFFFF) return kMsgPokeAddress;
  if (bytes.size() > 0x10000 - address) return kMsgBinaryPastEnd;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint32_t a = address + static_cast<uint32_t>(i);
    m.WritePages[a >> 13][a & 0x1FFF] = bytes[i];
  }
  return kMsgNone;
}

MessageId LoadBinaryFile(MachineState& m, const std::string& path, uint32_t address) {
  std::vector<uint8_t> bytes;
  if (const MessageId failed = ReadWholeFile(path, bytes); failed != kMsgNone) return failed;
  return LoadBinary(m, bytes, address);
}

MessageId ReadMemoryRange(const MachineState& m, uint32_t address, uint32_t length,
                          std::vector<uint8_t>& out) {
  if (address > 0xFFFF) return kMsgPokeAddress;
  if (length > 0x10000 - address) return kMsgBinaryPastEnd;
  out.resize(length);
  for (uint32_t i = 0; i < length; ++i) out[i] = m.Peek(static_cast<uint16_t>(address + i));
  return kMsgNone;
}

MessageId SaveBinaryFile(const MachineState& m, const std::string& path, uint32_t address,
                         uint32_t length) {
  std::vector<uint8_t> bytes;
  if (const MessageId bad = ReadMemoryRange(m, address, length, bytes); bad != kMsgNone) return bad;
  std::string error;
  return WriteFileAtomically(path, bytes, &error) ? kMsgNone : kMsgCannotSaveFile;
}

}  // namespace orvo
