#pragma once
// The snapshot formats of the 48K machine that keep RAM as one image of 0x4000-0xFFFF: SEM, SNX,
// SP, SNP and SIT (readers and writers), and the ZXS reader (48K and 128K). Each parser fills a
// record from the whole file and refuses a file it cannot take whole, so a refused file leaves the
// running machine as it was; each writer refuses models other than the 16K and 48K (Only48K).
//
//   SEM  49192 bytes: 5, "SPEC1", RAM, then AF BC DE HL AF' BC' DE' HL' PC SP IX IY and I, R,
//        IFF1, IFF2, IM each in the low byte of a word.
//   SNX  "XSNA", a big-endian header length (37), a 48K SNA header, ten bytes of settings, then
//        the RAM run-length coded (see snx_format.cpp); PC on the stack. Files without "XSNA"
//        laid out as a 48K SNA (49179 bytes: the esxDOS flavour) are read as such.
//   SP   "SP", length, start, BC DE HL AF IX IY BC' DE' HL' AF', R, I, SP, PC, 2 reserved,
//        border, 1 reserved, status (bit 0 IFF1, bit 1 IM 2, bit 2 IFF2, bit 4 interrupt
//        pending), then `length` bytes from `start`.
//   SNP  49183 bytes: RAM, AF, border, 0, BC DE HL PC SP IX IY, 0, interrupt pending, IM, R, I,
//        AF' BC' DE' HL'.
//   SIT  65564 bytes: BC DE HL AF IX IY SP PC, R, I, BC' DE' HL' AF', IM, border, then the 64K
//        address space from 0x0000.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "formats/format_status.h"
#include "formats/snapshot_record.h"

namespace orvo {

constexpr size_t kRam48Size = 49152;
constexpr size_t kSemSize = 49192;
constexpr size_t kSnpSize = 49183;
constexpr size_t kSitSize = 65564;

// Errors: SnapshotLength (shorter or, for the fixed sizes, other than the format's size, or
// damaged SNX codes), SemSignatureLength / SemSignature, SnxSignature, SpSignature.
FormatStatus ParseSEM(std::span<const uint8_t> data, SnapshotRecord& out);
FormatStatus ParseSNX(std::span<const uint8_t> data, SnapshotRecord& out);
FormatStatus ParseSP(std::span<const uint8_t> data, SnapshotRecord& out);
FormatStatus ParseSNP(std::span<const uint8_t> data, SnapshotRecord& out);
FormatStatus ParseSIT(std::span<const uint8_t> data, SnapshotRecord& out);

// The whole file, or Only48K (and `out` untouched) for a model other than the 16K and 48K.
FormatStatus WriteSEM(const SnapshotRecord& record, std::vector<uint8_t>& out);
FormatStatus WriteSNX(const SnapshotRecord& record, std::vector<uint8_t>& out);
FormatStatus WriteSP(const SnapshotRecord& record, std::vector<uint8_t>& out);
FormatStatus WriteSNP(const SnapshotRecord& record, std::vector<uint8_t>& out);
FormatStatus WriteSIT(const SnapshotRecord& record, std::vector<uint8_t>& out);

// SNX run-length coding of RAM: the code stream for `ram`, and `ram` back from a code stream
// (false when the codes are damaged or do not fill exactly `size` bytes).
std::vector<uint8_t> EncodeSnxRam(std::span<const uint8_t> ram);
bool DecodeSnxRam(std::span<const uint8_t> codes, std::vector<uint8_t>& ram, size_t size);

// ZXS: a RIFF "SNAP" file of chunks ("fmtz" model and compression, "rZ80" registers, "r048" the
// ULA port, "r128" paging and AY, "r+3 " the +3 paging, "ram0" to "ram7" pages, zlib-packed
// with their CRC-32 or plain); chunks of other IDs are stepped over by their size. A file without
// "fmtz" keeps `currentModel`. Errors: SnapshotLength (a chunk that runs past the end, a file
// under 12 bytes), ZxsRiff, ZxsSnap, ZxsFmtzLength, ZxsCompression, ZxsRegsLength, Zxs048Length,
// ZxsPage.
FormatStatus ParseZXS(std::span<const uint8_t> data, SnapshotRecord& out,
                      SnapshotModel currentModel);

// Helpers for the formats above: the 48K RAM image of a record (banks 5, 2, 0; what a record
// lacks reads as 0), and an image (from 0x4000, up to 48K) put into a record's banks.
std::vector<uint8_t> Ram48KImage(const SnapshotRecord& r);
void SetRam48K(SnapshotRecord& r, std::span<const uint8_t> ram);
// Register words at consecutive little-endian offsets from `at`, in the order given.
using SnapshotReg16 = uint16_t SnapshotCpu::*;
void ReadRegWords(std::span<const uint8_t> data, size_t at, SnapshotCpu& cpu,
                  std::initializer_list<SnapshotReg16> regs);
void WriteRegWords(uint8_t* out, const SnapshotCpu& cpu, std::initializer_list<SnapshotReg16> regs);
inline bool WritableAs48K(const SnapshotRecord& r) {
  return r.model == SnapshotModel::k16K || r.model == SnapshotModel::k48K;
}

}  // namespace orvo
