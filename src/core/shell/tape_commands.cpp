// Tapes from files into the deck, and the Tape menu commands.
#include "shell/tape_commands.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "formats/csw_format.h"
#include "formats/file_io.h"
#include "formats/pulse_tapes.h"
#include "formats/tape_parsers.h"
#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/format_messages.h"
#include "shell/snapshot_save.h"
#include "tape/tape_player.h"

namespace orvo {

namespace {

FormatStatus ParseTapeKind(TapeImage& image, std::span<const uint8_t> bytes, TapeKind kind,
                           bool invertPolarity) {
  switch (kind) {
    case TapeKind::Tzx: return ParseTZX(image, bytes);
    case TapeKind::Csw: return ParseCSW(image, bytes, invertPolarity);
    case TapeKind::Wav: return ParseWAV(image, bytes, invertPolarity);
    case TapeKind::Pzx: return ParsePZX(image, bytes);
    default: return ParseTAP(image, bytes);
  }
}

// A tape goes into the deck unless its parse failed outright: a damaged file, or one with no
// block the deck can play.
bool TapeParseLoads(const FormatStatus& parsed, const TapeImage& image) {
  const uint8_t status = TapeParseStatusOf(parsed);
  return status == kTapeParseOk || (status == kTapeParseUnsupported && !image.blocks.empty());
}

// Parses `bytes` into a fresh image in the deck and enters its first block.
int InsertParsed(Emulator& emu, std::span<const uint8_t> bytes, TapeKind kind,
                 const std::string& path) {
  MachineState& m = emu.m;
  EjectTape(m);
  auto image = std::make_unique<TapeImage>();
  image->path = path;
  const FormatStatus parsed = ParseTapeKind(*image, bytes, kind, emu.settings.Polarity != 0);
  ShowFormatError(emu.host, parsed, path);
  const uint8_t status = TapeParseStatusOf(parsed);
  image->sourceKind = static_cast<uint8_t>(kind);
  if (!TapeParseLoads(parsed, *image)) return status;
  InsertTape(m, std::move(image));
  return status;
}

}  // namespace

bool TapeBytesLoad(Emulator& emu, std::span<const uint8_t> bytes, TapeKind kind,
                   std::string_view name) {
  if (kind == TapeKind::None) {
    emu.ShowMessage(CaptionId::Options, kMsgUnknownExtension);
    return false;
  }
  TapeImage image;
  const FormatStatus parsed = ParseTapeKind(image, bytes, kind, emu.settings.Polarity != 0);
  if (TapeParseLoads(parsed, image)) return true;
  ShowFormatError(emu.host, parsed, name);
  return false;
}

int ReadTapeFile(Emulator& emu, const std::string& path, std::vector<uint8_t>& buffer) {
  switch (ReadRegularFile(path, buffer)) {
    case ReadFailure::None: return 0;
    case ReadFailure::Missing: emu.ShowMessage(CaptionId::Options, kMsgTapeMissing); break;
    case ReadFailure::TooLarge: emu.ShowMessage(CaptionId::Options, kMsgOutOfMemory); break;
    // A folder, a FIFO or a device is no tape file, and cannot be read as one.
    case ReadFailure::NotRegular:
    case ReadFailure::Unreadable: emu.ShowMessage(CaptionId::Options, kMsgReadError); break;
  }
  return 1;
}

const char* TapeKindLabel(TapeKind kind) {
  switch (kind) {
    case TapeKind::Tzx: return "TZX File";
    case TapeKind::Tap: return "TAP File";
    case TapeKind::Csw: return "CSW File";
    case TapeKind::Wav: return "WAV File";
    case TapeKind::Pzx: return "PZX File";
    default: return "";
  }
}

int LoadTapeBytes(Emulator& emu, std::span<const uint8_t> bytes, TapeKind kind,
                  const std::string& path) {
  if (kind == TapeKind::None) {
    emu.ShowMessage(CaptionId::Options, kMsgUnknownExtension);
    return 1;
  }
  return InsertParsed(emu, bytes, kind, path);
}

int LoadTape(Emulator& emu, const std::string& path) {
  const TapeKind kind = TapeKindOf(path);
  if (kind == TapeKind::None) {
    emu.ShowMessage(CaptionId::Options, kMsgUnknownExtension);
    return 1;
  }
  std::vector<uint8_t> buffer;
  if (ReadTapeFile(emu, path, buffer) != 0) return 1;
  // A tape that will be refused leaves the machine and the deck as they were.
  if (!TapeBytesLoad(emu, buffer, kind)) return 1;
  if (emu.m.settings.Autoload) LoadTapeBootSnapshot(emu);
  const int status = LoadTapeBytes(emu, buffer, kind, path);
  if (status == 0) emu.files.FileTypeLabel = TapeKindLabel(kind);
  return status;
}

int OpenTapeFile(Emulator& emu, const std::string& path) {
  const TapeImage* before = emu.m.tape.image.get();
  LoadTape(emu, path);
  // A tape with a block the deck cannot follow still goes in (its message said so).
  const TapeImage* now = emu.m.tape.image.get();
  if (now == nullptr || now == before) return 1;
  emu.folders.CurrentTapeDir = path;
  return 0;
}

void EjectTapeCommand(Emulator& emu) {
  if (!emu.m.tape.image) {
    emu.ShowMessage(CaptionId::Error, kMsgNoTapeInDeck);
    return;
  }
  EjectTape(emu.m);
}

void RewindTapeCommand(Emulator& emu) {
  MachineState& m = emu.m;
  if (!m.tape.image) {
    emu.ShowMessage(CaptionId::Error, kMsgNoTapeInDeck);
    return;
  }
  // The tape is parsed again from the bytes it was read from, so a tape taken out of an archive
  // rewinds as well as one read from a file.
  std::vector<uint8_t> bytes = std::move(m.tape.image->bytes);
  const std::string path = m.tape.image->path;
  const auto kind = static_cast<TapeKind>(m.tape.image->sourceKind);
  InsertParsed(emu, bytes, kind, path);
}

void StartStopTapeCommand(Emulator& emu) {
  ToggleTape(emu.m);
}

void SetSaveToTape(Emulator& emu, bool on, const std::string& path) {
  if (!path.empty()) emu.files.SaveTapePath = path;
  SetTapeSaveTrap(emu.m, on);
}

std::string SaveTapeTarget(const Emulator& emu) {
  if (!emu.files.SaveTapePath.empty()) return emu.files.SaveTapePath;
  if (emu.m.tape.image && !emu.m.tape.image->path.empty()) {
    std::filesystem::path p(emu.m.tape.image->path);
    return (p.parent_path() / (p.stem().string() + "-saved.tap")).string();
  }
  return "orvo-saved.tap";
}

std::string MicRecordingPath(const Emulator& emu) {
  const std::filesystem::path tap(SaveTapeTarget(emu));
  std::error_code ec;
  for (int n = 1;; ++n) {
    const std::filesystem::path csw =
        tap.parent_path() / (tap.stem().string() + "-" + std::to_string(n) + ".csw");
    if (!std::filesystem::exists(csw, ec)) return csw.string();
  }
}

namespace {

// A finished recording of MIC (a second of silence after its last edge) goes to a CSW file of its
// own; a few stray edges (a sound routine that touches MIC) are not a saver.
constexpr size_t kMinMicPulses = 256;

int FlushMicRecording(Emulator& emu) {
  TapeState& t = emu.m.tape;
  if (t.MicPulses.empty() || MachineTime(emu.m) - t.MicLastEdge <= kMicSilenceTStates) return 0;
  std::vector<uint32_t> pulses = std::move(t.MicPulses);
  t.MicPulses.clear();
  if (pulses.size() < kMinMicPulses) return 0;
  std::vector<uint8_t> rle;
  for (uint32_t p : pulses) AppendCswPulse(rle, p);
  const uint32_t rate = emu.m.spec.cpuClockHz ? emu.m.spec.cpuClockHz : kTapeClockHz;
  const std::vector<uint8_t> file =
      WriteCSW(rle, static_cast<uint32_t>(pulses.size()), rate, t.MicFirstHigh);
  if (!WriteFileReplacing(MicRecordingPath(emu), file)) {
    emu.ShowMessage(CaptionId::Options, kMsgTapeSaveFailed);
    return 1;
  }
  return 0;
}

}  // namespace

int FlushSavedTape(Emulator& emu) {
  if (FlushMicRecording(emu) != 0) return 1;
  std::vector<uint8_t>& saved = emu.m.tape.SavedBlocks;
  if (saved.empty()) return 0;
  const std::string path = SaveTapeTarget(emu);
  std::vector<uint8_t> file;
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && ReadTapeFile(emu, path, file) != 0) {
    saved.clear();  // the message has been shown; the blocks cannot be added to that file
    return 1;
  }
  file.insert(file.end(), saved.begin(), saved.end());
  if (!WriteFileReplacing(path, file)) {
    emu.ShowMessage(CaptionId::Options, kMsgTapeSaveFailed);
    saved.clear();
    return 1;
  }
  saved.clear();
  return 0;
}

}  // namespace orvo
