#include "sound/wav_file.h"

#include <cstring>

#include "formats/file_io.h"

namespace orvo {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

}  // namespace

std::vector<uint8_t> BuildWavFile(const WaveFormat& format, std::span<const uint8_t> samples) {
  const uint32_t blockAlign = format.blockAlign ? format.blockAlign : 1;
  // Whole sample frames only.
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() / blockAlign * blockAlign);
  const uint32_t pad = dataBytes & 1;  // chunks are padded to an even length
  std::vector<uint8_t> out(44 + dataBytes + pad, 0);
  uint8_t* h = out.data();
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, 36 + dataBytes + pad);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, format.channels);
  Put32(h + 24, format.samplesPerSecond);
  Put32(h + 28, format.averageBytesPerSecond);
  Put16(h + 32, blockAlign);
  Put16(h + 34, format.bitsPerSample);
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, dataBytes);
  // The samples are in the file's own form already: 16-bit signed with silence at 0, 8-bit
  // unsigned with silence at 0x80.
  if (dataBytes) std::memcpy(h + 44, samples.data(), dataBytes);
  return out;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error) {
  const WriteFailure failure = ReplaceFile(path, bytes);
  if (failure == WriteFailure::None) return true;
  if (error) *error = WriteFailureText(failure, path);
  return false;
}

}  // namespace orvo
